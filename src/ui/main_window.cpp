#include "ui/main_window.h"

#include "ui/named_control.h"
#include "ui/outer_size.h"

#include "link/serial_port.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QMetaObject>
#include <QPointer>
#include <QPalette>
#include <QScrollBar>

namespace pelmora::ui {

namespace {

QLabel* label(QWidget* parent, const char16_t* name, QRect geometry, const QString& text)
{
    auto* l = placeNamedControl<QLabel>(parent, name, geometry);
    l->setTextFormat(Qt::PlainText);
    l->setText(text);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return l;
}

QGroupBox* group(QWidget* parent, const char16_t* name, QRect geometry, const QString& caption)
{
    auto* g = placeNamedControl<QGroupBox>(parent, name, geometry);
    g->setTitle(caption);
    return g;
}

DropDownList* list(QWidget* parent, const char16_t* name, QRect geometry, const QStringList& items, int selected)
{
    auto* c = placeNamedControl<DropDownList>(parent, name, geometry);
    c->addItems(items);
    c->setCurrentIndex(selected);
    return c;
}

QPushButton* button(QWidget* parent, const char16_t* name, QRect geometry, const QString& caption)
{
    auto* b = placeNamedControl<QPushButton>(parent, name, geometry);
    b->setText(caption);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

// Selection stays in the box but is not shown while it has no focus.
void hideSelectionWhenUnfocused(QWidget* box)
{
    QPalette p = box->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Inactive, QPalette::Base));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Inactive, QPalette::Text));
    box->setPalette(p);
}

QPlainTextEdit* multiLineBox(QWidget* parent, const char16_t* name, QRect geometry)
{
    auto* e = placeNamedControl<QPlainTextEdit>(parent, name, geometry);
    e->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    e->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    e->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    e->setTabChangesFocus(true);
    e->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    hideSelectionWhenUnfocused(e);
    return e;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("PelmoraV1.0"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    // Serial settings. The speed list is the window's own child, lying over
    // the frame in line with the port list.
    分组框_串口设置 = group(this, u"分组框_串口设置", {8, 8, 216, 136}, QStringLiteral("串口设置"));
    标签_串口号 = label(分组框_串口设置, u"标签_串口号", {16, 24, 80, 24}, QStringLiteral("串口号"));
    QStringList ports;
    for (int n = 1; n <= 10; ++n)
        ports << QStringLiteral("COM%1").arg(n);
    组合框_串口号 = list(分组框_串口设置, u"组合框_串口号", {96, 24, 100, 23}, ports, 0);
    标签_波特率 = label(分组框_串口设置, u"标签_波特率", {16, 56, 80, 24}, QStringLiteral("波特率"));
    组合框_波特率 =
        list(this, u"组合框_波特率", {104, 64, 100, 23}, {QStringLiteral("9600"), QStringLiteral("115200")}, 1);
    外形框_串口状态 = placeNamedControl<StatusLamp>(分组框_串口设置, u"外形框_串口状态", {16, 88, 32, 32});
    按钮_打开串口 = button(分组框_串口设置, u"按钮_打开串口", {56, 88, 140, 32}, QStringLiteral("打开串口"));

    // Pager parameters.
    分组框_呼机设置 = group(this, u"分组框_呼机设置", {8, 152, 216, 192}, QStringLiteral("呼机参数"));
    标签_相位 = label(分组框_呼机设置, u"标签_相位", {16, 24, 80, 24}, QStringLiteral("相位"));
    组合框_相位 =
        list(分组框_呼机设置, u"组合框_相位", {96, 24, 100, 23}, {QStringLiteral("正"), QStringLiteral("反")}, 0);
    标签_速率 = label(分组框_呼机设置, u"标签_速率", {16, 56, 80, 24}, QStringLiteral("速率"));
    组合框_速率 =
        list(分组框_呼机设置, u"组合框_速率", {96, 56, 100, 23}, {QStringLiteral("1200"), QStringLiteral("512")}, 0);
    标签_呼机类型 = label(分组框_呼机设置, u"标签_呼机类型", {16, 88, 80, 24}, QStringLiteral("呼机类型"));
    组合框_呼机类型 = list(分组框_呼机设置, u"组合框_呼机类型", {96, 88, 100, 23},
                           {QStringLiteral("数字机"), QStringLiteral("汉字机")}, 0);
    标签_响声 = label(分组框_呼机设置, u"标签_响声", {16, 120, 80, 24}, QStringLiteral("响声/功能"));
    组合框_响声 = list(分组框_呼机设置, u"组合框_响声", {96, 120, 100, 23},
                       {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")}, 0);
    标签_地址码 = label(分组框_呼机设置, u"标签_地址码", {16, 152, 80, 24}, QStringLiteral("地址码"));
    编辑框_地址码 = placeNamedControl<AddressEdit>(分组框_呼机设置, u"编辑框_地址码", {96, 152, 100, 24});
    编辑框_地址码->setAlignment(Qt::AlignCenter);
    编辑框_地址码->setText(QStringLiteral("1234567"));
    编辑框_地址码->setCursorPosition(0);
    hideSelectionWhenUnfocused(编辑框_地址码);

    // Tips.
    分组框_Tips = group(this, u"分组框_Tips", {8, 352, 216, 120}, QStringLiteral("Tips"));
    标签_Tips = label(分组框_Tips, u"标签_Tips", {8, 16, 192, 96},
                      QString(kTipsText).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    标签_Tips->setWordWrap(true);
    标签_Tips->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    // Data send area.
    分组框_数据发送区 = group(this, u"分组框_数据发送区", {232, 8, 528, 464}, QStringLiteral("数据发送区"));
    编辑框_数据发送区 = multiLineBox(分组框_数据发送区, u"编辑框_数据发送区", {8, 24, 512, 384});
    按钮_调试 = button(分组框_数据发送区, u"按钮_调试", {8, 416, 80, 40}, QStringLiteral("调试"));
    按钮_关于 = button(分组框_数据发送区, u"按钮_关于", {104, 416, 80, 40}, QStringLiteral("关于"));
    按钮_发送数据 = button(分组框_数据发送区, u"按钮_发送数据", {368, 416, 152, 40}, QStringLiteral("发送数据"));
    标签_pocsag = label(this, u"标签_pocsag", {632, 472, 128, 24}, QStringLiteral("POCSAG 512/1200"));

    // Debug panel, below the bottom edge until the window is made taller.
    分组框_调试信息 = group(this, u"分组框_调试信息", {8, 496, 752, 144}, QStringLiteral("调试信息"));
    编辑框3 = multiLineBox(this, u"编辑框3", {16, 520, 736, 112});

    // The serial port object has no visible presence. Its worker hands events
    // to the GUI thread as queued calls; once the window is gone they are
    // dropped.
    端口1 = std::make_unique<link::SerialPort>([guard = QPointer<MainWindow>(this)](std::function<void()> task) {
        QMetaObject::invokeMethod(
            qApp,
            [guard, task = std::move(task)] {
                if (guard)
                    task();
            },
            Qt::QueuedConnection);
    });

    const QList<QWidget*> cycle = tabCycle();
    for (qsizetype i = 0; i + 1 < cycle.size(); ++i)
        QWidget::setTabOrder(cycle[i], cycle[i + 1]);
    编辑框_数据发送区->setFocus(Qt::OtherFocusReason);

    outerSize_ = new OuterSizeKeeper(this, {kMainWindowWidth, kCollapsedHeight});
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow()
{
    // Closing joins the worker before the controls go away.
    端口1.reset();
}

QList<QWidget*> MainWindow::tabCycle() const
{
    return {编辑框_数据发送区, 按钮_发送数据, 按钮_调试,       按钮_关于,   组合框_波特率, 组合框_串口号, 按钮_打开串口,
            组合框_相位,       组合框_速率,   组合框_呼机类型, 组合框_响声, 编辑框_地址码, 编辑框3};
}

void MainWindow::setOuterHeight(int height)
{
    outerSize_->setOuterSize({kMainWindowWidth, height});
}

QSize MainWindow::outerSize() const
{
    return outerSize_->outerSize();
}

void MainWindow::centreOnPrimaryScreen()
{
    outerSize_->centreOnPrimaryScreen();
}

QString MainWindow::textOf(const QPlainTextEdit* box)
{
    return box->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

QString MainWindow::textOf(const QLineEdit* box)
{
    return box->text();
}

bool MainWindow::ownsWidget(const QObject* object) const
{
    for (const QObject* o = object; o; o = o->parent())
        if (o == this)
            return true;
    return false;
}

bool MainWindow::takesEscapeFrom(const QObject* object) const
{
    if (!object->isWidgetType())
        return false;
    // An open drop-down list is a popup window of its own, parented to its
    // combo box, and counts as part of the window. Other popups (an edit
    // box's context menu) and dialogs parented here keep Esc for themselves.
    const QWidget* top = static_cast<const QWidget*>(object)->window();
    if (top == this)
        return true;
    return top->windowType() == Qt::Popup && qobject_cast<const QComboBox*>(top->parentWidget()) && ownsWidget(top);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto modifiers = key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        if (key->key() == Qt::Key_Escape && modifiers == Qt::NoModifier && takesEscapeFrom(watched)) {
            if (QWidget* popup = QApplication::activePopupWidget(); popup && ownsWidget(popup))
                popup->close();
            close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace pelmora::ui
