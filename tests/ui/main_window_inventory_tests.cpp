// The window's controls as the operator finds them at start: every name,
// kind, parent, place, size and initial value.
#include "main_window_test_support.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <vector>

#include "ui/status_lamp.h"

namespace pelmora::ui::testing {
namespace {

enum class Kind { GroupBox, Label, ComboBox, EditBox, ShapeBox, Button };

struct Control {
    const char* meaning;  // test name
    const char16_t* name;
    Kind kind;
    const char16_t* parent;  // u"window" for the main window itself
    QPoint left_top;         // relative to the parent
    QSize size;
    QPoint on_window;                   // client coordinates of the main window
    std::vector<const char16_t*> text;  // caption or edit text; for a combo: its items
    int selected = -1;                  // combo boxes only
};

// clang-format off
// The window's layout table, row by row.
const Control kInventory[] = {
    {"serial_frame", u"分组框_串口设置", Kind::GroupBox, u"window", {8, 8}, {216, 136}, {8, 8}, {u"串口设置"}},
    {"port_label", u"标签_串口号", Kind::Label, u"分组框_串口设置", {16, 24}, {80, 24}, {24, 32}, {u"串口号"}},
    {"port_choice", u"组合框_串口号", Kind::ComboBox, u"分组框_串口设置", {96, 24}, {100, 23}, {104, 32},
     {u"COM1", u"COM2", u"COM3", u"COM4", u"COM5", u"COM6", u"COM7", u"COM8", u"COM9", u"COM10"}, 0},
    {"speed_label", u"标签_波特率", Kind::Label, u"分组框_串口设置", {16, 56}, {80, 24}, {24, 64}, {u"波特率"}},
    {"speed_choice", u"组合框_波特率", Kind::ComboBox, u"window", {104, 64}, {100, 23}, {104, 64}, {u"9600", u"115200"}, 1},
    {"status_lamp", u"外形框_串口状态", Kind::ShapeBox, u"分组框_串口设置", {16, 88}, {32, 32}, {24, 96}, {}},
    {"open_button", u"按钮_打开串口", Kind::Button, u"分组框_串口设置", {56, 88}, {140, 32}, {64, 96}, {u"打开串口"}},
    {"pager_frame", u"分组框_呼机设置", Kind::GroupBox, u"window", {8, 152}, {216, 192}, {8, 152}, {u"呼机参数"}},
    {"phase_label", u"标签_相位", Kind::Label, u"分组框_呼机设置", {16, 24}, {80, 24}, {24, 176}, {u"相位"}},
    {"phase_choice", u"组合框_相位", Kind::ComboBox, u"分组框_呼机设置", {96, 24}, {100, 23}, {104, 176}, {u"正", u"反"}, 0},
    {"rate_label", u"标签_速率", Kind::Label, u"分组框_呼机设置", {16, 56}, {80, 24}, {24, 208}, {u"速率"}},
    {"rate_choice", u"组合框_速率", Kind::ComboBox, u"分组框_呼机设置", {96, 56}, {100, 23}, {104, 208}, {u"1200", u"512"}, 0},
    {"type_label", u"标签_呼机类型", Kind::Label, u"分组框_呼机设置", {16, 88}, {80, 24}, {24, 240}, {u"呼机类型"}},
    {"type_choice", u"组合框_呼机类型", Kind::ComboBox, u"分组框_呼机设置", {96, 88}, {100, 23}, {104, 240},
     {u"数字机", u"汉字机"}, 0},
    {"beep_label", u"标签_响声", Kind::Label, u"分组框_呼机设置", {16, 120}, {80, 24}, {24, 272}, {u"响声/功能"}},
    {"beep_choice", u"组合框_响声", Kind::ComboBox, u"分组框_呼机设置", {96, 120}, {100, 23}, {104, 272},
     {u"1", u"2", u"3", u"4"}, 0},
    {"address_label", u"标签_地址码", Kind::Label, u"分组框_呼机设置", {16, 152}, {80, 24}, {24, 304}, {u"地址码"}},
    {"address_box", u"编辑框_地址码", Kind::EditBox, u"分组框_呼机设置", {96, 152}, {100, 24}, {104, 304}, {u"1234567"}},
    {"tips_frame", u"分组框_Tips", Kind::GroupBox, u"window", {8, 352}, {216, 120}, {8, 352}, {u"Tips"}},
    {"tips_text", u"标签_Tips", Kind::Label, u"分组框_Tips", {8, 16}, {192, 96}, {16, 368}, {}},  // text: own test
    {"send_frame", u"分组框_数据发送区", Kind::GroupBox, u"window", {232, 8}, {528, 464}, {232, 8}, {u"数据发送区"}},
    {"message_box", u"编辑框_数据发送区", Kind::EditBox, u"分组框_数据发送区", {8, 24}, {512, 384}, {240, 32}, {u""}},
    {"debug_button", u"按钮_调试", Kind::Button, u"分组框_数据发送区", {8, 416}, {80, 40}, {240, 424}, {u"调试"}},
    {"about_button", u"按钮_关于", Kind::Button, u"分组框_数据发送区", {104, 416}, {80, 40}, {336, 424}, {u"关于"}},
    {"send_button", u"按钮_发送数据", Kind::Button, u"分组框_数据发送区", {368, 416}, {152, 40}, {600, 424}, {u"发送数据"}},
    {"mode_caption", u"标签_pocsag", Kind::Label, u"window", {632, 472}, {128, 24}, {632, 472}, {u"POCSAG 512/1200"}},
    {"debug_frame", u"分组框_调试信息", Kind::GroupBox, u"window", {8, 496}, {752, 144}, {8, 496}, {u"调试信息"}},
    {"debug_box", u"编辑框3", Kind::EditBox, u"window", {16, 520}, {736, 112}, {16, 520}, {u""}},
};
// clang-format on

QString str(const char16_t* s)
{
    return QString::fromUtf16(s);
}

class MainWindowInventory : public ShownMainWindow, public ::testing::WithParamInterface<Control> {
protected:
    QWidget* find(const char16_t* name) const { return window->findChild<QWidget*>(str(name)); }
};

TEST_P(MainWindowInventory, PlaceKindAndInitialValue)
{
    const Control& row = GetParam();
    QWidget* control = find(row.name);
    ASSERT_NE(control, nullptr) << "no control named " << str(row.name).toStdString();

    const QString parent = str(row.parent);
    if (parent == u"window")
        EXPECT_EQ(control->parentWidget(), window.get());
    else
        EXPECT_EQ(control->parentWidget(), find(row.parent));
    EXPECT_EQ(control->pos(), row.left_top);
    EXPECT_EQ(control->size(), row.size);
    EXPECT_EQ(control->mapTo(window.get(), QPoint(0, 0)), row.on_window);
    EXPECT_TRUE(control->isVisible());
    EXPECT_TRUE(control->isEnabled());

    const QString text = row.text.empty() ? QString() : str(row.text.front());
    switch (row.kind) {
    case Kind::GroupBox: {
        auto* box = qobject_cast<QGroupBox*>(control);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->title(), text);
        EXPECT_FALSE(box->isCheckable());
        EXPECT_EQ(box->focusPolicy(), Qt::NoFocus);
        break;
    }
    case Kind::Label: {
        auto* label = qobject_cast<QLabel*>(control);
        ASSERT_NE(label, nullptr);
        if (!row.text.empty()) {
            EXPECT_EQ(label->text(), text);
            EXPECT_EQ(label->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
        }
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
        break;
    }
    case Kind::ComboBox: {
        auto* combo = qobject_cast<QComboBox*>(control);
        ASSERT_NE(combo, nullptr);
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QStringList expected;
        for (const char16_t* item : row.text)
            expected << str(item);
        EXPECT_EQ(items, expected);
        EXPECT_EQ(combo->currentIndex(), row.selected);
        EXPECT_EQ(combo->currentText(), expected.value(row.selected));
        EXPECT_FALSE(combo->isEditable());
        break;
    }
    case Kind::EditBox:
        if (auto* line = qobject_cast<QLineEdit*>(control)) {
            EXPECT_EQ(MainWindow::textOf(line), text);
            EXPECT_EQ(line->cursorPosition(), 0);
        } else {
            auto* box = qobject_cast<QPlainTextEdit*>(control);
            ASSERT_NE(box, nullptr) << "an edit box is a QLineEdit or a QPlainTextEdit";
            EXPECT_EQ(MainWindow::textOf(box), text);
            EXPECT_FALSE(box->isReadOnly());
        }
        break;
    case Kind::ShapeBox: {
        auto* lamp = qobject_cast<StatusLamp*>(control);
        ASSERT_NE(lamp, nullptr);
        EXPECT_EQ(lamp->fillColour(), kNoColour);
        EXPECT_EQ(lamp->focusPolicy(), Qt::NoFocus);
        break;
    }
    case Kind::Button: {
        auto* button = qobject_cast<QPushButton*>(control);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), text);
        EXPECT_FALSE(button->isDefault());
        EXPECT_FALSE(button->autoDefault());
        EXPECT_TRUE(button->icon().isNull());
        break;
    }
    }
}

INSTANTIATE_TEST_SUITE_P(Layout, MainWindowInventory, ::testing::ValuesIn(kInventory),
                         [](const ::testing::TestParamInfo<Control>& row) { return std::string(row.param.meaning); });

TEST_F(ShownMainWindow, WindowSettings)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("PelmoraV1.0"));
    EXPECT_TRUE(window->isWindow());
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window->windowType(), Qt::Window) << "its own taskbar button: not a tool window or dialog";

    // The outer size counts the frame this platform gives the window.
    EXPECT_EQ(window->frameGeometry().size(), QSize(771, 530));
    EXPECT_EQ(window->outerSize(), QSize(771, 530));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the operator must not be able to resize it";
}

// Where controls overlap, the one the operator can use lies on top.
TEST_F(ShownMainWindow, OverlappingControlsLieAboveTheirFrames)
{
    window->setOuterHeight(680);  // the debug panel in view
    for (QWidget* control : {static_cast<QWidget*>(window->组合框_波特率), static_cast<QWidget*>(window->编辑框3)}) {
        const QPoint centre = control->mapTo(window.get(), control->rect().center());
        QWidget* top = window->childAt(centre);
        ASSERT_NE(top, nullptr);
        EXPECT_TRUE(top == control || control->isAncestorOf(top)) << control->objectName().toStdString();
    }
}

TEST_F(ShownMainWindow, TipsTextLineByLine)
{
    const QString tips = QStringLiteral("数字机只能输入:\r\n\"0\"-\"9\"以及\"A\"-\"F\"\r\n\r\nA -> 换行   B -> "
                                        "\"U\"\r\nC -> 空格   D -> \"-\"\r\nE -> \"[\"    F -> \"]\"");
    QString shown = tips;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(window->标签_Tips->text(), shown);
    EXPECT_EQ(window->标签_Tips->text().split(u'\n').size(), 6);
    EXPECT_TRUE(window->标签_Tips->wordWrap());
    EXPECT_EQ(window->标签_Tips->alignment(), Qt::AlignHCenter | Qt::AlignTop);
    EXPECT_EQ(window->标签_Tips->textFormat(), Qt::PlainText) << "quotes and brackets are text, not markup";

    // All six lines fit the label: nothing is cut off at the bottom.
    const QRect needed = window->标签_Tips->fontMetrics().boundingRect(
        window->标签_Tips->contentsRect(), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, shown);
    EXPECT_LE(needed.height(), window->标签_Tips->height());
}

TEST_F(ShownMainWindow, EditBoxSettings)
{
    for (QPlainTextEdit* box : {window->编辑框_数据发送区, window->编辑框3}) {
        SCOPED_TRACE(box->objectName().toStdString());
        EXPECT_NE(box->lineWrapMode(), QPlainTextEdit::NoWrap);
        EXPECT_NE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        EXPECT_EQ(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        EXPECT_EQ(box->textCursor().position(), 0);
    }
    EXPECT_EQ(window->编辑框_地址码->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_TRUE(window->编辑框_地址码->hasFrame());
}

}  // namespace
}  // namespace pelmora::ui::testing
