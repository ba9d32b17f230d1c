// The keyboard as the window gives it to its controls: Esc, Enter, Tab and
// Shift+Tab, and the typing filter of the address code box.
#include "main_window_test_support.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QMessageBox>
#include <QTimer>
#include <QInputMethodEvent>
#include <QSignalSpy>

namespace pelmora::ui::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kModalSafetyTimeout = 20s;  // ends a nested loop a broken test would leave hanging

using Pick = QWidget* (*)(MainWindow&);

struct NamedControl {
    const char* meaning;
    Pick pick;
};

// One of every kind of control that takes the focus.
const NamedControl kFocusableKinds[] = {
    {"message_box", [](MainWindow& w) -> QWidget* { return w.编辑框_数据发送区; }},
    {"debug_box", [](MainWindow& w) -> QWidget* { return w.编辑框3; }},
    {"address_box", [](MainWindow& w) -> QWidget* { return w.编辑框_地址码; }},
    {"port_choice", [](MainWindow& w) -> QWidget* { return w.组合框_串口号; }},
    {"speed_choice", [](MainWindow& w) -> QWidget* { return w.组合框_波特率; }},
    {"open_button", [](MainWindow& w) -> QWidget* { return w.按钮_打开串口; }},
    {"send_button", [](MainWindow& w) -> QWidget* { return w.按钮_发送数据; }},
};

std::string testName(const ::testing::TestParamInfo<NamedControl>& row)
{
    return row.param.meaning;
}

class KeyOnControl : public ShownMainWindow, public ::testing::WithParamInterface<NamedControl> {
protected:
    QWidget* control() { return GetParam().pick(*window); }
};

TEST_P(KeyOnControl, EscClosesTheWindow)
{
    focus(control());
    QTest::keyClick(control(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

TEST_P(KeyOnControl, EscWithShiftCtrlOrAltDoesNotClose)
{
    focus(control());
    for (Qt::KeyboardModifier modifier : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape, modifier);
        EXPECT_TRUE(window->isVisible()) << "modifier " << modifier;
    }
}

TEST_P(KeyOnControl, EnterNeitherClicksNorMovesTheFocus)
{
    QList<QSignalSpy*> spies;
    for (QPushButton* button : window->findChildren<QPushButton*>())
        spies << new QSignalSpy(button, &QPushButton::clicked);
    const QString addressBefore = window->编辑框_地址码->text();
    const int speedBefore = window->组合框_波特率->currentIndex();
    focus(control());

    for (Qt::Key enter : {Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(control(), enter, enter == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        EXPECT_EQ(QApplication::focusWidget(), control());
    }
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(window->编辑框_地址码->text(), addressBefore);
    EXPECT_EQ(window->组合框_波特率->currentIndex(), speedBefore);
    for (QSignalSpy* spy : spies)
        EXPECT_EQ(spy->count(), 0) << "Enter pressed a button";
    qDeleteAll(spies);

    auto* box = qobject_cast<QPlainTextEdit*>(control());
    if (box)
        EXPECT_EQ(MainWindow::textOf(box), QStringLiteral("\r\n\r\n")) << "Enter inserts a line break";
    else
        EXPECT_TRUE(MainWindow::textOf(window->编辑框_数据发送区).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(EveryKind, KeyOnControl, ::testing::ValuesIn(kFocusableKinds), testName);

TEST_F(ShownMainWindow, EscWhileAListIsDroppedDownClosesTheWindow)
{
    for (DropDownList* combo : {window->组合框_串口号, window->组合框_响声}) {
        SCOPED_TRACE(combo->objectName().toStdString());
        if (!window->isVisible()) {
            window->show();
            window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
        focus(combo);
        combo->showPopup();
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr) << "the list did not drop down";
        QWidget* receiver = popup->focusWidget() ? popup->focusWidget() : popup;
        QTest::keyClick(receiver, Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    }
}

// A message box of the window's own handlers keeps Esc: the window under it
// must not close while a handler waits for the box.
TEST_F(ShownMainWindow, EscInAModalBoxOwnedByTheWindowClosesOnlyTheBox)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("信息："), QStringLiteral("串口打开失败！"),
                    QMessageBox::Ok, window.get());
    bool boxWasOpen = false;
    QTimer::singleShot(0, &box, [&] {
        boxWasOpen = QTest::qWaitForWindowActive(&box);
        // The key goes where the operator's would: into the active box.
        QWidget* focused = box.focusWidget();
        QTest::keyClick(focused ? focused : &box, Qt::Key_Escape);
    });
    QTimer::singleShot(kModalSafetyTimeout, &box, &QMessageBox::reject);
    box.exec();
    EXPECT_TRUE(boxWasOpen);
    EXPECT_FALSE(box.isVisible());
    EXPECT_TRUE(window->isVisible()) << "Esc in the box closed the main window";
}

// A context menu is no control of the window: Esc closes the menu only.
TEST_F(ShownMainWindow, EscInAnEditBoxContextMenuClosesOnlyTheMenu)
{
    QPlainTextEdit* box = window->编辑框_数据发送区;
    focus(box);
    const QPoint at = box->viewport()->rect().center();
    QContextMenuEvent request(QContextMenuEvent::Keyboard, at, box->viewport()->mapToGlobal(at));
    QApplication::sendEvent(box->viewport(), &request);
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr) << "no context menu";
    QTest::keyClick(menu, Qt::Key_Escape);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_TRUE(window->isVisible()) << "Esc in the context menu closed the main window";
}

TEST_F(ShownMainWindow, SpaceOnAFocusedButtonClicksIt)
{
    QSignalSpy clicked(window->按钮_关于, &QPushButton::clicked);
    focus(window->按钮_关于);
    QTest::keyClick(window->按钮_关于, Qt::Key_Space);
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(ShownMainWindow, EnterTextReadsBackWithCrLf)
{
    focus(window->编辑框_数据发送区);
    QTest::keyClicks(window->编辑框_数据发送区, QStringLiteral("ab"));
    QTest::keyClick(window->编辑框_数据发送区, Qt::Key_Return);
    QTest::keyClicks(window->编辑框_数据发送区, QStringLiteral("cd"));
    QTest::keyClick(window->编辑框_数据发送区, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(window->编辑框_数据发送区, QStringLiteral("e"));
    EXPECT_EQ(MainWindow::textOf(window->编辑框_数据发送区), QStringLiteral("ab\r\ncd\r\ne"));
}

// The cycle, in order.
const char16_t* const kTabCycle[] = {
    u"编辑框_数据发送区", u"按钮_发送数据", u"按钮_调试",   u"按钮_关于",   u"组合框_波特率",
    u"组合框_串口号",     u"按钮_打开串口", u"组合框_相位", u"组合框_速率", u"组合框_呼机类型",
    u"组合框_响声",       u"编辑框_地址码", u"编辑框3",
};
constexpr int kTabStops = static_cast<int>(std::size(kTabCycle));

TEST_F(ShownMainWindow, TabAndShiftTabGoRoundTheWholeCycle)
{
    window->编辑框3->setPlainText(QStringLiteral("debug"));
    const QString address = window->编辑框_地址码->text();
    struct Direction {
        Qt::Key key;
        int step;
    };
    for (Direction direction : {Direction{Qt::Key_Tab, 1}, Direction{Qt::Key_Backtab, -1}}) {
        focus(window->编辑框_数据发送区);
        for (int i = 1; i <= kTabStops; ++i) {
            QTest::keyClick(QApplication::focusWidget(), direction.key,
                            direction.key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
            const QString expected =
                QString::fromUtf16(kTabCycle[((i * direction.step) % kTabStops + kTabStops) % kTabStops]);
            ASSERT_NE(QApplication::focusWidget(), nullptr);
            ASSERT_EQ(QApplication::focusWidget()->objectName(), expected)
                << (direction.step > 0 ? "Tab" : "Shift+Tab") << " press " << i;
        }
    }
    EXPECT_TRUE(MainWindow::textOf(window->编辑框_数据发送区).isEmpty()) << "Tab was typed";
    EXPECT_EQ(MainWindow::textOf(window->编辑框3), QStringLiteral("debug")) << "Tab was typed";
    EXPECT_EQ(window->编辑框_地址码->text(), address);
}

TEST_F(ShownMainWindow, FocusStartsInTheMessageBoxAndReturnsAfterAnotherWindow)
{
    EXPECT_EQ(QApplication::focusWidget(), window->编辑框_数据发送区);

    focus(window->按钮_关于);
    QWidget other;
    other.setWindowTitle(QStringLiteral("other"));
    other.resize(100, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    other.close();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(QApplication::focusWidget(), window->按钮_关于);
}

struct Typing {
    const char* meaning;
    const char16_t* keys;
    const char16_t* expected;
};

const Typing kTyping[] = {
    {"letters_dropped", u"12a4", u"124"},
    {"dash_kept", u"-", u"-"},
    {"digits_and_dashes", u"0-9-", u"0-9-"},
    {"nothing_else", u"Af .+*/", u""},
};

class AddressTyping : public ShownMainWindow, public ::testing::WithParamInterface<Typing> {};

TEST_P(AddressTyping, OnlyDigitsAndDashGetIn)
{
    AddressEdit* box = window->编辑框_地址码;
    focus(box);
    box->clear();
    QTest::keyClicks(box, QString::fromUtf16(GetParam().keys));
    EXPECT_EQ(box->text(), QString::fromUtf16(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Keys, AddressTyping, ::testing::ValuesIn(kTyping),
                         [](const ::testing::TestParamInfo<Typing>& row) { return std::string(row.param.meaning); });

TEST_F(ShownMainWindow, AddressControlKeysAndPastingPass)
{
    AddressEdit* box = window->编辑框_地址码;
    focus(box);
    box->end(false);
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), QStringLiteral("123456"));

    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("123456"));

    QGuiApplication::clipboard()->setText(QStringLiteral("ABC"));
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box->text(), QStringLiteral("ABC")) << "pasted text is not filtered";

    // Nothing corrects the text when the focus leaves.
    focus(window->编辑框_数据发送区);
    EXPECT_EQ(box->text(), QStringLiteral("ABC"));

    // No length limit, also for a long paste.
    const QString longText(40000, u'7');
    QGuiApplication::clipboard()->setText(longText);
    focus(box);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box->text(), longText);
}

TEST_F(ShownMainWindow, AddressInputMethodIsFilteredLikeTyping)
{
    AddressEdit* box = window->编辑框_地址码;
    focus(box);
    box->clear();
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("1中a-2"));
    QApplication::sendEvent(box, &commit);
    EXPECT_EQ(box->text(), QStringLiteral("1-2"));
}

}  // namespace
}  // namespace pelmora::ui::testing
