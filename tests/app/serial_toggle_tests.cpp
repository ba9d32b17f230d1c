#include "handlers_test_support.h"

#include <QTest>

#include <termios.h>

namespace pelmora::app::testing {
namespace {

using ui::kGreen;
using ui::kNoColour;
using ui::kRed;

speed_t slaveSpeed(const link::testing::PseudoTerminal& pty)
{
    termios settings{};
    tcgetattr(pty.slave, &settings);
    return cfgetospeed(&settings);
}

TEST_F(WindowOnPty, ButtonOpensPortOneAtStartUpSpeedAndClosesAgain)
{
    openPort();
    EXPECT_EQ(requestedPorts.back(), 1);
    EXPECT_EQ(slaveSpeed(pty), static_cast<speed_t>(B115200));
    EXPECT_EQ(window->外形框_串口状态->fillColour(), kGreen);
    EXPECT_TRUE(window->端口1->isOpen());

    window->按钮_打开串口->click();
    EXPECT_FALSE(window->端口1->isOpen());
    EXPECT_EQ(window->按钮_打开串口->text(), QStringLiteral("打开串口"));
    EXPECT_EQ(window->外形框_串口状态->fillColour(), kNoColour);
}

TEST_F(WindowOnPty, SelectionsGivePortNumberAndSpeed)
{
    struct Row {
        int portIndex;
        int speedIndex;
        int expectedPort;
        speed_t expectedSpeed;
    };
    for (const Row& row : {Row{3, 0, 4, B9600}, Row{9, 1, 10, B115200}, Row{0, 0, 1, B9600}}) {
        ptyPortNumber = row.expectedPort;
        window->组合框_串口号->setCurrentIndex(row.portIndex);
        window->组合框_波特率->setCurrentIndex(row.speedIndex);
        openPort();
        EXPECT_EQ(requestedPorts.back(), row.expectedPort);
        EXPECT_EQ(slaveSpeed(pty), row.expectedSpeed) << "port index " << row.portIndex;
        window->按钮_打开串口->click();
    }
}

TEST_F(WindowOnPty, NoSpeedSelectedKeepsTheLastSpeed)
{
    EXPECT_EQ(window->端口1->baudRate(), 19200);
    window->组合框_波特率->setCurrentIndex(-1);
    openPort();
    EXPECT_EQ(slaveSpeed(pty), static_cast<speed_t>(B19200));
    window->按钮_打开串口->click();
    window->组合框_波特率->setCurrentIndex(0);
    openPort();
    window->按钮_打开串口->click();
    window->组合框_波特率->setCurrentIndex(-1);
    openPort();
    EXPECT_EQ(slaveSpeed(pty), static_cast<speed_t>(B9600));
}

TEST_F(WindowOnPty, LampPressTogglesAndDoubleClickTogglesOnce)
{
    QTest::mousePress(window->外形框_串口状态, Qt::LeftButton);
    EXPECT_EQ(window->按钮_打开串口->text(), QStringLiteral("关闭串口"));
    QTest::mousePress(window->外形框_串口状态, Qt::RightButton);
    EXPECT_EQ(window->按钮_打开串口->text(), QStringLiteral("关闭串口"));
    QTest::mousePress(window->外形框_串口状态, Qt::LeftButton);
    EXPECT_EQ(window->按钮_打开串口->text(), QStringLiteral("打开串口"));

    // A double click arrives as press, release, double click, release.
    QTest::mousePress(window->外形框_串口状态, Qt::LeftButton);
    QTest::mouseRelease(window->外形框_串口状态, Qt::LeftButton);
    QTest::mouseDClick(window->外形框_串口状态, Qt::LeftButton);
    QTest::mouseRelease(window->外形框_串口状态, Qt::LeftButton);
    EXPECT_EQ(window->按钮_打开串口->text(), QStringLiteral("关闭串口"));
    EXPECT_EQ(window->外形框_串口状态->fillColour(), kGreen);
}

TEST_F(WindowOnPty, FailedOpenShowsTheBoxWithDeviceAndReasonAndTurnsTheLampRed)
{
    ptyPortNumber = 2;  // COM1 names no device
    const auto boxes = runAcceptingBoxes([&] { window->按钮_打开串口->click(); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("信息："));
    EXPECT_EQ(boxes[0].text, QStringLiteral("串口打开失败！"));
    EXPECT_EQ(boxes[0].informativeText, QStringLiteral("COM1：没有这个串口"));
    EXPECT_EQ(boxes[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(boxes[0].modality, Qt::ApplicationModal);
    EXPECT_FALSE(boxes[0].hasParent);
    EXPECT_EQ(window->外形框_串口状态->fillColour(), kRed);
    EXPECT_EQ(window->按钮_打开串口->text(), QStringLiteral("打开串口"));

    // Pressing again retries, and a port that is there now opens.
    ptyPortNumber = 1;
    openPort();
    EXPECT_EQ(window->外形框_串口状态->fillColour(), kGreen);
}

TEST_F(WindowOnPty, PortHeldByAnotherOwnerIsReportedAsBusy)
{
    link::SerialPort other([](std::function<void()>) {}, [&](int) { return link::PortDevice{pty.slavePath, {}}; });
    ASSERT_TRUE(other.open());
    const auto boxes = runAcceptingBoxes([&] { window->按钮_打开串口->click(); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].informativeText,
              QString::fromStdString(pty.slavePath) + QStringLiteral("：端口已被其他程序占用"));
    other.close();
    openPort();
}

TEST_F(WindowOnPty, VanishedDeviceClosesThePortAndTurnsTheLampRedWithoutABox)
{
    openPort();
    std::vector<ShownBox> boxes = runAcceptingBoxes([&] {
        pty.closeMaster();
        (void)QTest::qWaitFor([&] { return window->按钮_打开串口->text() == QStringLiteral("打开串口"); }, 5000);
    });
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(window->按钮_打开串口->text(), QStringLiteral("打开串口"));
    EXPECT_EQ(window->外形框_串口状态->fillColour(), kRed);
    EXPECT_FALSE(window->端口1->isOpen());
}

TEST_F(WindowOnPty, IncomingBytesChangeNothing)
{
    openPort();
    const QString debugText = window->编辑框3->toPlainText();
    ASSERT_EQ(::write(pty.master, "ACK\r\n", 5), 5);
    QTest::qWait(200);
    EXPECT_EQ(window->编辑框3->toPlainText(), debugText);
    EXPECT_TRUE(window->编辑框_数据发送区->toPlainText().isEmpty());
    EXPECT_EQ(window->外形框_串口状态->fillColour(), kGreen);
}

TEST_F(WindowOnPty, PortTooltipsNameTheDeviceEachItemOpens)
{
    window->组合框_串口号->showPopup();
    window->组合框_串口号->hidePopup();
    EXPECT_EQ(window->组合框_串口号->itemData(0, Qt::ToolTipRole).toString(),
              QStringLiteral("COM1 → %1（pseudo-terminal）").arg(QString::fromStdString(pty.slavePath)));
    EXPECT_EQ(window->组合框_串口号->itemData(4, Qt::ToolTipRole).toString(), QStringLiteral("COM5：现在没有这个串口"));
}

TEST(OpenFailureText, NamesDeviceAndReason)
{
    using link::OpenError;
    struct Row {
        OpenError error;
        std::string device;
        const char16_t* expected;
    };
    const Row rows[] = {
        {OpenError::AccessDenied, "/dev/ttyUSB0", u"/dev/ttyUSB0：没有访问权限（请把当前用户加入 dialout 组）"},
        {OpenError::Busy, "/dev/ttyUSB0", u"/dev/ttyUSB0：端口已被其他程序占用"},
        {OpenError::NoSuchDevice, "", u"COM3：没有这个串口"},
        {OpenError::NotASerialPort, "/dev/null", u"/dev/null：不是串口设备"},
        {OpenError::SettingsRejected, "/dev/ttyS0", u"/dev/ttyS0：串口不接受这些设置（波特率 115200）"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(MainWindowHandlers::describeOpenFailure({row.error, row.device, "x"}, 3, 115200),
                  QString::fromUtf16(row.expected));
}

}  // namespace
}  // namespace pelmora::app::testing

namespace pelmora::app::testing {
namespace {

TEST_F(WindowOnPty, ClosingTheWindowReleasesAnOpenPort)
{
    openPort();
    window->close();
    window.reset();  // the window is destroyed on close; its port object with it
    link::SerialPort next([](std::function<void()>) {}, [&](int) { return link::PortDevice{pty.slavePath, {}}; });
    EXPECT_TRUE(next.open()) << "another program can open the port right after";
}

}  // namespace
}  // namespace pelmora::app::testing
