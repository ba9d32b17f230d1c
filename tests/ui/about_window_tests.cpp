#include <gtest/gtest.h>

#include "support/qt_application.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>

#include "ui/about_window.h"
#include "ui/hyperlink.h"

namespace pelmora::ui {
namespace {

using namespace std::chrono_literals;

constexpr auto kModalSafetyTimeout = 20s;  // ends a nested loop a broken test would leave hanging

const QColor kBlue(0, 0, 255);

QApplication& application()
{
    return pelmora::testing::qtApplication();
}

bool neverOpens(const QString&)
{
    return false;
}

class AboutWindowTest : public ::testing::Test {
protected:
    void SetUp() override { application(); }
};

TEST_F(AboutWindowTest, WindowSettings)
{
    AboutWindow window(neverOpens);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    EXPECT_EQ(window.windowTitle(), QStringLiteral("关于"));
    EXPECT_EQ(window.parentWidget(), nullptr);
    EXPECT_EQ(window.windowType(), Qt::Dialog);
    EXPECT_EQ(window.windowModality(), Qt::ApplicationModal);
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);

    // No frame on this platform: the outer size is the client size.
    EXPECT_EQ(window.frameGeometry().size(), QSize(380, 250));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the window must not be resizable";
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window.frameGeometry().topLeft(),
              screen.topLeft() + QPoint((screen.width() - 380) / 2, (screen.height() - 250) / 2));
}

struct ControlRow {
    const char* name;
    const char* kind;
    QRect place;
};

TEST_F(AboutWindowTest, ControlsNamesKindsPlacesAndTexts)
{
    AboutWindow window(neverOpens);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    const ControlRow rows[] = {
        {"超级链接框2", "pelmora::ui::HyperLinker", {32, 136, 304, 32}},
        {"超级链接框1", "pelmora::ui::HyperLinker", {32, 112, 304, 32}},
        {"标签1", "QLabel", {24, 40, 320, 136}},
    };
    for (const ControlRow& row : rows) {
        SCOPED_TRACE(row.name);
        auto* control = window.findChild<QWidget*>(QString::fromUtf8(row.name));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->parentWidget(), &window);
        EXPECT_STREQ(control->metaObject()->className(), row.kind);
        EXPECT_EQ(control->geometry(), row.place);
        EXPECT_TRUE(control->isVisible());
        EXPECT_TRUE(control->isEnabled());
        EXPECT_EQ(control->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_EQ(window.标签1, window.findChild<QLabel*>(QStringLiteral("标签1")));
    EXPECT_EQ(window.超级链接框1, window.findChild<HyperLinker*>(QStringLiteral("超级链接框1")));
    EXPECT_EQ(window.超级链接框2, window.findChild<HyperLinker*>(QStringLiteral("超级链接框2")));

    EXPECT_EQ(window.标签1->text(),
              QStringLiteral("此程序由 Tesvarin 编写发布\n\n想要查看关于此程序说明和更多原创资料\n请访问"));
    EXPECT_EQ(window.标签1->alignment(), Qt::AlignHCenter | Qt::AlignTop);
    EXPECT_TRUE(window.标签1->wordWrap());
    EXPECT_EQ(window.标签1->frameShape(), QFrame::NoFrame);

    EXPECT_EQ(window.超级链接框1->address(), QStringLiteral("https://en.wikipedia.org/wiki/POCSAG"));
    EXPECT_EQ(window.超级链接框2->address(), QStringLiteral("https://zh.wikipedia.org/wiki/POCSAG"));
}

TEST_F(AboutWindowTest, DrawingOrderPutsLinksAboveTheTextAndTheSecondLinkOnTop)
{
    AboutWindow window(neverOpens);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.childAt(100, 140), window.超级链接框2);  // both links overlap here
    EXPECT_EQ(window.childAt(100, 120), window.超级链接框1);  // first link over the text
    EXPECT_EQ(window.childAt(100, 172), window.标签1);        // below the links
    EXPECT_EQ(window.childAt(100, 60), window.标签1);
}

struct KeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool closes;
};

class AboutWindowKeyTest : public AboutWindowTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(AboutWindowKeyTest, OnlyPlainEscapeCloses)
{
    AboutWindow window(neverOpens);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    QTest::keyClick(&window, GetParam().key, GetParam().modifiers);
    EXPECT_EQ(window.isVisible(), !GetParam().closes);
    EXPECT_EQ(window.focusWidget(), nullptr) << "no control may take the focus";
    if (GetParam().closes) {
        EXPECT_EQ(window.result(), QDialog::Rejected);
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, AboutWindowKeyTest,
                         ::testing::Values(KeyCase{"Escape", Qt::Key_Escape, Qt::NoModifier, true},
                                           KeyCase{"KeypadEscape", Qt::Key_Escape, Qt::KeypadModifier, true},
                                           KeyCase{"ShiftEscape", Qt::Key_Escape, Qt::ShiftModifier, false},
                                           KeyCase{"CtrlEscape", Qt::Key_Escape, Qt::ControlModifier, false},
                                           KeyCase{"AltEscape", Qt::Key_Escape, Qt::AltModifier, false},
                                           KeyCase{"Return", Qt::Key_Return, Qt::NoModifier, false},
                                           KeyCase{"Enter", Qt::Key_Enter, Qt::KeypadModifier, false},
                                           KeyCase{"F1", Qt::Key_F1, Qt::NoModifier, false},
                                           KeyCase{"ShiftF1", Qt::Key_F1, Qt::ShiftModifier, false},
                                           KeyCase{"Tab", Qt::Key_Tab, Qt::NoModifier, false},
                                           KeyCase{"Backtab", Qt::Key_Backtab, Qt::ShiftModifier, false}),
                         [](const auto& row) { return std::string(row.param.name); });

// Runs `whileOpen` inside execAboutWindow's nested loop with the window it
// opened; returns after execAboutWindow has returned.
void withModalAboutWindow(const HyperLinker::Opener& opener, const std::function<void(AboutWindow&)>& whileOpen)
{
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] {
        ADD_FAILURE() << "the About window did not close";
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    safety.start(kModalSafetyTimeout);
    QTimer::singleShot(0, [&] {
        auto* window = qobject_cast<AboutWindow*>(QApplication::activeModalWidget());
        if (!window) {
            ADD_FAILURE() << "execAboutWindow showed no modal About window";
            return;
        }
        whileOpen(*window);
    });
    execAboutWindow(opener);
}

TEST_F(AboutWindowTest, ModalWhileOpenAndFreshOnEveryOpening)
{
    QPushButton other(QStringLiteral("send"));
    other.resize(120, 40);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    int otherClicks = 0;
    QObject::connect(&other, &QPushButton::clicked, [&] { ++otherClicks; });
    auto clickOther = [&] { QTest::mouseClick(other.windowHandle(), Qt::LeftButton, {}, QPoint(60, 20)); };

    withModalAboutWindow([](const QString&) { return true; },
                         [&](AboutWindow& window) {
                             clickOther();
                             EXPECT_EQ(otherClicks, 0) << "another window took a click while the About window was open";
                             QTest::mousePress(window.超级链接框1, Qt::LeftButton, {}, QPoint(150, 16));
                             EXPECT_TRUE(window.超级链接框1->isVisited());
                             QTest::keyClick(&window, Qt::Key_Escape);
                         });
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    clickOther();
    EXPECT_EQ(otherClicks, 1) << "the other window must take input again once the About window is closed";

    withModalAboutWindow(neverOpens, [&](AboutWindow& window) {
        EXPECT_FALSE(window.超级链接框1->isVisited());
        EXPECT_EQ(window.超级链接框1->textColour(), kBlue);
        EXPECT_EQ(window.超级链接框2->textColour(), kBlue);
        window.close();  // what the close button does
    });
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace pelmora::ui
