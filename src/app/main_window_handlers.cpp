#include "app/main_window_handlers.h"

#include "link/gbk_text.h"
#include "link/page_command.h"
#include "link/serial_port.h"
#include "ui/about_window.h"
#include "ui/main_window.h"
#include "ui/xp_style.h"

#include <QComboBox>
#include <QEvent>
#include <QMessageBox>
#include <QStringList>

#include <span>
#include <string_view>

namespace pelmora::app {

namespace {

constexpr int kStyleScheme = 1;
constexpr int kBaudRateOfFirstItem = 9600;
constexpr int kBaudRateOfSecondItem = 115200;

link::GbkResult toGbk(const QString& text)
{
    return link::utf16ToGbk(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())));
}

// Compares the selection with each position in turn, reading it afresh each
// time, and writes the code of the position that matches.
void writeCodeOfSelection(link::SerialPort& port, const QComboBox* list, std::span<const char> codes)
{
    for (std::size_t position = 0; position < codes.size(); ++position)
        if (list->currentIndex() == static_cast<int>(position))
            port.write(std::string_view(&codes[position], 1));
}

QString describeUnencodable(const QString& field, const link::GbkResult& result)
{
    const char32_t c = result.badChar;
    const QString shown = (c >= 0xD800 && c <= 0xDFFF) ? QString() : QString::fromUcs4(&c, 1);
    const QString code =
        QStringLiteral("U+") + QStringLiteral("%1").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("%1第 %2 个字符“%3”（%4）没有 GBK 编码")
        .arg(field)
        .arg(static_cast<qulonglong>(result.badIndex.value_or(0) + 1))
        .arg(shown, code);
}

void showInformation(const QString& text, const QString& informative)
{
    // No owner and application-modal: nothing of the program takes input
    // until the operator has read it.
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("信息："), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(informative);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace

MainWindowHandlers::MainWindowHandlers(ui::MainWindow& window) : QObject(&window), window_(window)
{
    connect(window_.按钮_调试, &QPushButton::clicked, this, &MainWindowHandlers::toggleDebugPanel);
    connect(window_.按钮_打开串口, &QPushButton::clicked, this, &MainWindowHandlers::toggleSerialPort);
    connect(window_.外形框_串口状态, &ui::StatusLamp::pressed, this, &MainWindowHandlers::toggleSerialPort);
    connect(window_.按钮_发送数据, &QPushButton::clicked, this, &MainWindowHandlers::sendPage);
    connect(window_.按钮_关于, &QPushButton::clicked, this, &MainWindowHandlers::showAbout);
    connect(window_.组合框_串口号, &ui::DropDownList::aboutToShowPopup, this, &MainWindowHandlers::updatePortTooltips);

    link::SerialPort& port = *window_.端口1;
    port.onDataArrival = [](std::uint8_t) {};  // what the transmitter sends back is not used
    port.onDeviceLost = [this] { onDeviceLost(); };
    window_.组合框_串口号->installEventFilter(this);
}

bool MainWindowHandlers::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_.组合框_串口号 && event->type() == QEvent::ToolTip)
        window_.组合框_串口号->setToolTip(portTooltip(window_.组合框_串口号->currentIndex() + 1));
    return QObject::eventFilter(watched, event);
}

void MainWindowHandlers::onCreated()
{
    ui::enableXpStyle(kStyleScheme);
    window_.编辑框3->setPlainText(QStringLiteral("请在源码内打开调试功能"));
}

void MainWindowHandlers::toggleDebugPanel()
{
    if (!debugPanelExpanded_) {
        window_.setOuterHeight(ui::kExpandedHeight);
        debugPanelExpanded_ = true;
    } else {
        window_.setOuterHeight(ui::kCollapsedHeight);
        debugPanelExpanded_ = false;
    }
}

void MainWindowHandlers::toggleSerialPort()
{
    // The caption is the only record of the port state the handler consults.
    const QString caption = window_.按钮_打开串口->text();
    link::SerialPort& port = *window_.端口1;
    if (caption == kOpenCaption) {
        port.setPortNumber(window_.组合框_串口号->currentIndex() + 1);
        if (window_.组合框_波特率->currentIndex() == 0)
            port.setBaudRate(kBaudRateOfFirstItem);
        if (window_.组合框_波特率->currentIndex() == 1)
            port.setBaudRate(kBaudRateOfSecondItem);
        if (!port.open()) {
            window_.外形框_串口状态->setFillColour(ui::kRed);
            showInformation(QStringLiteral("串口打开失败！"),
                            describeOpenFailure(port.lastOpenFailure(), port.portNumber(), port.baudRate()));
            return;
        }
        window_.按钮_打开串口->setText(kCloseCaption);
        window_.外形框_串口状态->setFillColour(ui::kGreen);
    } else if (caption == kCloseCaption) {
        port.close();
        window_.按钮_打开串口->setText(kOpenCaption);
        window_.外形框_串口状态->setFillColour(ui::kNoColour);
    }
}

void MainWindowHandlers::onDeviceLost()
{
    // The adapter was unplugged: a green lamp over a dead device would
    // mislead, so close as the button would and show red. No pop-up; pressing
    // the button again retries.
    if (window_.按钮_打开串口->text() != kCloseCaption)
        return;
    window_.端口1->close();
    window_.按钮_打开串口->setText(kOpenCaption);
    window_.外形框_串口状态->setFillColour(ui::kRed);
}

void MainWindowHandlers::sendPage()
{
    // Both texts are checked before "#" goes out: a character without a GBK
    // code would reach the pager as a wrong one, so nothing is sent at all.
    const link::GbkResult address = toGbk(ui::MainWindow::textOf(window_.编辑框_地址码));
    const link::GbkResult message = toGbk(ui::MainWindow::textOf(window_.编辑框_数据发送区));
    if (!address.ok() || !message.ok()) {
        QStringList reasons;
        if (!address.ok())
            reasons << describeUnencodable(QStringLiteral("地址码"), address);
        if (!message.ok())
            reasons << describeUnencodable(QStringLiteral("数据发送区"), message);
        showInformation(QStringLiteral("有字符无法按 GBK 编码发送，本次没有发送任何数据。"),
                        reasons.join(QLatin1Char('\n')));
        return;
    }

    // One write per piece; each returns only when its bytes have left, so the
    // pieces reach the transmitter in order and as one command.
    link::SerialPort& port = *window_.端口1;
    port.write(std::string_view(&link::page::kStartMark, 1));
    writeCodeOfSelection(port, window_.组合框_相位, link::page::phaseCodes());
    if (!address.bytes.empty())
        port.write(address.bytes);
    writeCodeOfSelection(port, window_.组合框_响声, link::page::functionCodes());
    writeCodeOfSelection(port, window_.组合框_速率, link::page::rateCodes());
    writeCodeOfSelection(port, window_.组合框_呼机类型, link::page::pagerTypeCodes());
    if (!message.bytes.empty())
        port.write(message.bytes);
    port.write(std::string_view(&link::page::kEndMark, 1));
}

void MainWindowHandlers::showAbout()
{
    // Modal: returns when the About window has been closed. Focus goes back
    // to the About button when the main window is active again.
    ui::execAboutWindow();
}

QString MainWindowHandlers::describeOpenFailure(const link::OpenFailure& failure, int portNumber, int baudRate)
{
    const QString device =
        failure.device.empty() ? QStringLiteral("COM%1").arg(portNumber) : QString::fromStdString(failure.device);
    QString reason;
    switch (failure.error) {
    case link::OpenError::NoSuchDevice:
        reason = QStringLiteral("没有这个串口");
        break;
    case link::OpenError::AccessDenied:
#ifdef Q_OS_WIN
        reason = QStringLiteral("没有访问权限");
#else
        reason = QStringLiteral("没有访问权限（请把当前用户加入 dialout 组）");
#endif
        break;
    case link::OpenError::Busy:
        reason = QStringLiteral("端口已被其他程序占用");
        break;
    case link::OpenError::NotASerialPort:
        reason = QStringLiteral("不是串口设备");
        break;
    case link::OpenError::SettingsRejected:
        reason = QStringLiteral("串口不接受这些设置（波特率 %1）").arg(baudRate);
        break;
    case link::OpenError::InvalidPortNumber:
        reason = QStringLiteral("无效的串口号");
        break;
    case link::OpenError::SystemError:
    case link::OpenError::None:
        reason = QStringLiteral("系统错误");
        break;
    }
    if (failure.error == link::OpenError::SystemError && !failure.detail.empty())
        reason += QStringLiteral("（%1）").arg(QString::fromStdString(failure.detail));
    return QStringLiteral("%1：%2").arg(device, reason);
}

QString MainWindowHandlers::portTooltip(int portNumber) const
{
    // Which device the item would open right now: adapters come and go.
    const link::PortNamer& namer = window_.端口1->portNamer();
    const auto device = namer ? namer(portNumber) : std::nullopt;
    if (!device)
        return QStringLiteral("COM%1：现在没有这个串口").arg(portNumber);
    QString tip = QStringLiteral("COM%1 → %2").arg(portNumber).arg(QString::fromStdString(device->path));
    if (!device->description.empty())
        tip += QStringLiteral("（%1）").arg(QString::fromStdString(device->description));
    return tip;
}

void MainWindowHandlers::updatePortTooltips()
{
    QComboBox* list = window_.组合框_串口号;
    for (int i = 0; i < list->count(); ++i)
        list->setItemData(i, portTooltip(i + 1), Qt::ToolTipRole);
}

}  // namespace pelmora::app
