#include "link/serial_port.h"

#include "serial_test_support.h"

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <vector>

namespace pelmora::link {
namespace {

using namespace std::chrono_literals;
using testing::OwnerLoop;
using testing::PseudoTerminal;

constexpr auto kEventWait = 5000ms;

std::string allByteValues()
{
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes.push_back(static_cast<char>(value));
    return bytes;
}

struct Recorded {
    std::string data;
    std::vector<LineStatus> lineStatus;
    int devicesLost = 0;
    bool allOnOwnerThread = true;
};

void record(SerialPort& port, Recorded& into)
{
    const auto owner = std::this_thread::get_id();
    port.onDataArrival = [&into, owner](std::uint8_t byte) {
        into.data.push_back(static_cast<char>(byte));
        into.allOnOwnerThread = into.allOnOwnerThread && std::this_thread::get_id() == owner;
    };
    port.onLineStatus = [&into](LineStatus status) { into.lineStatus.push_back(status); };
    port.onDeviceLost = [&into] { ++into.devicesLost; };
}

// ---------------------------------------------------------------- settings

TEST(SerialPortSettings, DefaultsAndStoredValues)
{
    OwnerLoop loop;
    SerialPort port(loop.poster(), [](int) { return std::nullopt; });
    EXPECT_EQ(port.portNumber(), 1);
    EXPECT_EQ(port.baudRate(), 19200);
    EXPECT_EQ(port.timeout(), 1000ms);
    EXPECT_FALSE(port.isOpen());

    struct Row {
        std::int32_t given;
        std::int32_t storedPort;
        std::int32_t storedBaud;
    };
    for (const Row row : {Row{-7, 1, 0}, Row{0, 1, 0}, Row{1, 1, 1}, Row{10, 10, 10}, Row{115200, 115200, 115200}}) {
        port.setPortNumber(row.given);
        port.setBaudRate(row.given);
        EXPECT_EQ(port.portNumber(), row.storedPort) << row.given;
        EXPECT_EQ(port.baudRate(), row.storedBaud) << row.given;
    }
}

TEST(SerialPortSettings, PortNumberBelowOneOpensPortOne)
{
    OwnerLoop loop;
    std::vector<int> asked;
    SerialPort port(loop.poster(), [&asked](int n) -> std::optional<PortDevice> {
        asked.push_back(n);
        return std::nullopt;
    });
    port.setPortNumber(0);
    EXPECT_FALSE(port.open());
    port.setPortNumber(4);
    EXPECT_FALSE(port.open());
    EXPECT_EQ(asked, (std::vector<int>{1, 4}));
    EXPECT_EQ(port.lastOpenFailure().error, OpenError::NoSuchDevice);
}

// ---------------------------------------------------------------- line settings

class LineSettingsTest : public ::testing::TestWithParam<std::optional<std::int32_t>> {};

TEST_P(LineSettingsTest, OpenAppliesRaw8N1WithoutFlowControlAndKeepsThemAcrossClose)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    OwnerLoop loop;
    SerialPort port(loop.poster(), pty.namerForPortOne());
    if (GetParam())
        port.setBaudRate(*GetParam());
    const speed_t expectedSpeed = GetParam().value_or(19200) == 9600     ? B9600
                                  : GetParam().value_or(19200) == 115200 ? B115200
                                                                         : B19200;
    // Start from cooked settings at a different speed, as a fresh tty has them.
    termios cooked{};
    ASSERT_EQ(tcgetattr(pty.slave, &cooked), 0);
    cooked.c_iflag |= ICRNL | IXON | IXOFF;
    cooked.c_oflag |= OPOST | ONLCR;
    cooked.c_lflag |= ICANON | ECHO | ISIG;
    cooked.c_cflag |= PARENB | CSTOPB | CRTSCTS;
    cfsetspeed(&cooked, B2400);
    ASSERT_EQ(tcsetattr(pty.slave, TCSANOW, &cooked), 0);

    for (int opening = 0; opening < 2; ++opening) {
        ASSERT_TRUE(port.open()) << port.lastOpenFailure().detail;
        termios applied{};
        ASSERT_EQ(tcgetattr(pty.slave, &applied), 0);
        EXPECT_EQ(cfgetospeed(&applied), expectedSpeed);
        EXPECT_EQ(cfgetispeed(&applied), expectedSpeed);
        EXPECT_EQ(applied.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(applied.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(applied.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(applied.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | INPCK), 0u);
        EXPECT_EQ(applied.c_oflag & OPOST, 0u);
        EXPECT_EQ(applied.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        int modemLines = 0;
        if (ioctl(pty.slave, TIOCMGET, &modemLines) == 0) {
            EXPECT_NE(modemLines & TIOCM_RTS, 0);
        }
        port.close();
        EXPECT_FALSE(port.isOpen());
    }
}

INSTANTIATE_TEST_SUITE_P(Speeds, LineSettingsTest,
                         ::testing::Values(std::optional<std::int32_t>{9600}, std::optional<std::int32_t>{115200},
                                           std::nullopt),
                         [](const auto& speed) { return speed.param ? std::to_string(*speed.param) : "Default"; });

// ---------------------------------------------------------------- exclusivity

// Exit code of a child that tries to take the port as another program would:
// 0 it got it, 1 open refused with EBUSY, 2 the lock was held, 3 anything else.
int otherProgramTakes(const std::string& path, bool asUnprivilegedUser)
{
    const pid_t child = fork();
    if (child == 0) {
        if (asUnprivilegedUser && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            _exit(errno == EBUSY ? 1 : 3);
        _exit(flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 2);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 4;
}

TEST(SerialPortExclusive, AnOpenPortKeepsOutOtherObjectsAndProgramsUntilClosed)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    OwnerLoop loop;
    SerialPort holder(loop.poster(), pty.namerForPortOne());
    SerialPort second(loop.poster(), pty.namerForPortOne());

    std::vector<bool> users{false};
    // Root passes TIOCEXCL; as an ordinary user the exclusive flag itself is checked.
    if (geteuid() == 0) {
        ASSERT_EQ(chmod(pty.slavePath.c_str(), 0666), 0);
        users.push_back(true);
    }

    ASSERT_TRUE(holder.open());
    EXPECT_FALSE(second.open());
    EXPECT_EQ(second.lastOpenFailure().error, OpenError::Busy);
    EXPECT_EQ(second.lastOpenFailure().device, pty.slavePath);
    for (const bool unprivileged : users) {
        const int outcome = otherProgramTakes(pty.slavePath, unprivileged);
        EXPECT_TRUE(outcome == 1 || outcome == 2) << "unprivileged=" << unprivileged << " outcome=" << outcome;
    }

    holder.close();
    for (const bool unprivileged : users) {
        EXPECT_EQ(otherProgramTakes(pty.slavePath, unprivileged), 0) << "unprivileged=" << unprivileged;
    }
    EXPECT_TRUE(second.open()) << second.lastOpenFailure().detail;
}

TEST(SerialPortExclusive, OpenWhileOpenReopensTheSamePort)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    OwnerLoop loop;
    SerialPort port(loop.poster(), pty.namerForPortOne());
    ASSERT_TRUE(port.open());
    const int descriptors = testing::openDescriptorCount();
    for (int again = 0; again < 3; ++again)
        ASSERT_TRUE(port.open()) << port.lastOpenFailure().detail;
    EXPECT_EQ(testing::openDescriptorCount(), descriptors);
    EXPECT_TRUE(port.write("#ok$"));
    EXPECT_EQ(pty.readMaster(4), "#ok$");
}

// ---------------------------------------------------------------- write

class SerialPortWriteTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.ok()); }

    void openPort(std::chrono::milliseconds timeout = SerialPort::kDefaultTimeout)
    {
        port.setTimeout(timeout);
        ASSERT_TRUE(port.open()) << port.lastOpenFailure().detail;
    }

    PseudoTerminal pty;
    OwnerLoop loop;
    SerialPort port{loop.poster(), pty.namerForPortOne()};
};

TEST_F(SerialPortWriteTest, ClosedNegativeAndEmptyWrites)
{
    const char bytes[] = "#P1$";
    EXPECT_FALSE(port.write(bytes, 4));
    openPort();
    EXPECT_FALSE(port.write(bytes, -1));
    EXPECT_FALSE(port.write(nullptr, 3));
    EXPECT_TRUE(port.write(bytes, 0));
    EXPECT_TRUE(port.write(std::string_view{}));
    port.close();
    EXPECT_FALSE(port.write(bytes, 4));
    EXPECT_EQ(pty.readMaster(SIZE_MAX, 100ms), "");
}

TEST_F(SerialPortWriteTest, BytesGoOutUnchanged)
{
    openPort();
    const std::string bytes = allByteValues() + "\r\n\n\r" + std::string(3, '\0');
    ASSERT_TRUE(port.write(bytes));
    EXPECT_EQ(pty.readMaster(bytes.size()), bytes);
    EXPECT_EQ(pty.readMaster(SIZE_MAX, 50ms), "") << "nothing is added";
}

TEST_F(SerialPortWriteTest, SlowReaderGetsEveryPieceOfThePage)
{
    openPort();
    const std::vector<std::string> pieces{"#", "P", "1", "A", "0", "1234567", "\xC4\xE3\xBA\xC3 pager", "$"};
    std::string page;
    for (const std::string& piece : pieces) {
        ASSERT_TRUE(port.write(piece));
        page += piece;
    }
    EXPECT_EQ(pty.readMaster(page.size()), page);
}

TEST_F(SerialPortWriteTest, StalledReceiverTimesOutAndTheUnsentRestIsDiscarded)
{
    constexpr auto kAllowance = 10ms;
    openPort(kAllowance);
    // Nothing reads the master: fill the pty's buffer from the second descriptor.
    fcntl(pty.slave, F_SETFL, fcntl(pty.slave, F_GETFL) | O_NONBLOCK);
    // The kernel moves buffered bytes on to the master's line discipline a
    // little later, which frees room again: refill until a pause frees none.
    const std::string filler(4096, 'a');
    for (bool tookMore = true; tookMore;) {
        tookMore = false;
        while (::write(pty.slave, filler.data(), filler.size()) > 0)
            tookMore = true;
        while (::write(pty.slave, "a", 1) > 0)
            tookMore = true;
        std::this_thread::sleep_for(20ms);
    }

    const std::string stalled(20, 'Z');
    const auto expected = kAllowance + kAllowance * static_cast<int>(stalled.size());
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.write(stalled));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    std::cout << "[ figures  ] stalled write of " << stalled.size() << " bytes gave up after " << took.count()
              << " ms, allowance " << expected.count() << " ms\n";
    EXPECT_GE(took, expected);
    EXPECT_LT(took, expected + 3000ms);

    const std::string drained = pty.readMaster(SIZE_MAX, 300ms);
    EXPECT_EQ(drained.find('Z'), std::string::npos) << "the unsent tail must not go out later";
    ASSERT_TRUE(port.write("#next$"));
    EXPECT_EQ(pty.readMaster(6), "#next$");
}

// ---------------------------------------------------------------- reading

TEST_F(SerialPortWriteTest, IncomingBytesArriveInOrderOnTheOwnerThread)
{
    Recorded seen;
    record(port, seen);
    openPort();
    std::string sent;
    for (int round = 0; round < 8; ++round)
        sent += allByteValues();
    ASSERT_EQ(::write(pty.master, sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));
    EXPECT_TRUE(loop.pumpUntil([&] { return seen.data.size() >= sent.size(); }, kEventWait));
    EXPECT_EQ(seen.data, sent);
    EXPECT_TRUE(seen.allOnOwnerThread);
    EXPECT_TRUE(seen.lineStatus.empty());
    EXPECT_EQ(seen.devicesLost, 0);
}

enum class Ending { CloseBeforePump, DestroyBeforePump, CloseInHandler, DestroyInHandler };

std::string endingName(const ::testing::TestParamInfo<Ending>& ending)
{
    switch (ending.param) {
    case Ending::CloseBeforePump:
        return "CloseBeforePump";
    case Ending::DestroyBeforePump:
        return "DestroyBeforePump";
    case Ending::CloseInHandler:
        return "CloseInHandler";
    case Ending::DestroyInHandler:
        return "DestroyInHandler";
    }
    return "Unknown";
}

class QueuedEventsTest : public ::testing::TestWithParam<Ending> {};

TEST_P(QueuedEventsTest, EventsNotYetRaisedAreDroppedWhenThePortGoes)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    OwnerLoop loop;
    auto port = std::make_unique<SerialPort>(loop.poster(), pty.namerForPortOne());
    int raised = 0;
    port->onDataArrival = [&](std::uint8_t) {
        ++raised;
        if (GetParam() == Ending::CloseInHandler)
            port->close();
        if (GetParam() == Ending::DestroyInHandler)
            port.reset();
    };
    ASSERT_TRUE(port->open());
    ASSERT_EQ(::write(pty.master, "0123456789", 10), 10);
    // Wait until the worker has read everything and posted it, without pumping.
    const auto deadline = std::chrono::steady_clock::now() + kEventWait;
    int unread = 1;
    while ((loop.pendingTasks() == 0 || unread != 0) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
        ioctl(pty.slave, FIONREAD, &unread);
    }
    ASSERT_GT(loop.pendingTasks(), 0u);
    std::this_thread::sleep_for(50ms);

    if (GetParam() == Ending::CloseBeforePump)
        port->close();
    if (GetParam() == Ending::DestroyBeforePump)
        port.reset();
    loop.pumpFor(200ms);
    const bool raisedFromHandler = GetParam() == Ending::CloseInHandler || GetParam() == Ending::DestroyInHandler;
    EXPECT_EQ(raised, raisedFromHandler ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Endings, QueuedEventsTest,
                         ::testing::Values(Ending::CloseBeforePump, Ending::DestroyBeforePump, Ending::CloseInHandler,
                                           Ending::DestroyInHandler),
                         endingName);

// ---------------------------------------------------------------- device lost

std::chrono::milliseconds processCpuTime()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::seconds(now.tv_sec)
                                                                 + std::chrono::nanoseconds(now.tv_nsec));
}

TEST_F(SerialPortWriteTest, VanishedDeviceIsReportedOnceWithoutSpinningAndCanBeReplaced)
{
    Recorded seen;
    record(port, seen);
    openPort();
    pty.closeMaster();

    const auto cpuBefore = processCpuTime();
    loop.pumpFor(1000ms);
    const auto cpuUsed = processCpuTime() - cpuBefore;
    std::cout << "[ figures  ] CPU time of the process during 1 s after the hang-up: " << cpuUsed.count() << " ms\n";
    EXPECT_LT(cpuUsed, 200ms) << "the worker spins on the hung-up device";
    EXPECT_EQ(seen.devicesLost, 1);
    EXPECT_EQ(seen.lineStatus, std::vector<LineStatus>{LineStatus::LineError});

    EXPECT_FALSE(port.write("#lost$"));
    EXPECT_TRUE(port.isOpen()) << "stays open until the owner closes it";
    port.close();

    PseudoTerminal replacement;
    ASSERT_TRUE(replacement.ok());
    port.setPortNamer(replacement.namerForPortOne());
    ASSERT_TRUE(port.open()) << port.lastOpenFailure().detail;
    EXPECT_TRUE(port.write("#back$"));
    EXPECT_EQ(replacement.readMaster(6), "#back$");
    loop.pumpFor(100ms);
    EXPECT_EQ(seen.devicesLost, 1);
}

// ---------------------------------------------------------------- open failures

struct FailureCase {
    const char* name;
    OpenError expected;
};

void PrintTo(const FailureCase& failure, std::ostream* out)
{
    *out << failure.name;
}

class OpenFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(OpenFailureTest, FailsWithTheRightReasonAndHoldsNothing)
{
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    OwnerLoop loop;
    const std::string regularFile =
        std::filesystem::temp_directory_path() / ("pelmora-not-a-port-" + std::to_string(getpid()));
    std::ofstream(regularFile) << "x";

    const std::string_view name = GetParam().name;
    std::string path = pty.slavePath;
    if (name == "Missing")
        path = "/dev/pelmora-no-such-port";
    if (name == "RegularFile")
        path = regularFile;
    if (name == "NotATty")
        path = "/dev/null";
    PortNamer namer = [path](int) { return std::optional<PortDevice>{PortDevice{path, {}}}; };
    if (name == "NoNumberedPort")
        namer = [](int) { return std::nullopt; };

    SerialPort holder(loop.poster(), pty.namerForPortOne());
    if (name == "Busy") {
        ASSERT_TRUE(holder.open());
    }

    SerialPort port(loop.poster(), namer);
    if (name == "OddSpeed")
        port.setBaudRate(12345);
    if (name == "ZeroSpeed")
        port.setBaudRate(-9600);

    const int descriptors = testing::openDescriptorCount();
    EXPECT_FALSE(port.open());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.lastOpenFailure().error, GetParam().expected);
    EXPECT_FALSE(port.lastOpenFailure().detail.empty());
    if (name != "NoNumberedPort") {
        EXPECT_EQ(port.lastOpenFailure().device, path);
    }
    EXPECT_EQ(testing::openDescriptorCount(), descriptors);
    EXPECT_FALSE(port.write("#"));
    std::filesystem::remove(regularFile);

    // Nothing of the failed attempt lingers: the same port opens at a sound speed.
    if (name == "OddSpeed" || name == "ZeroSpeed") {
        port.setBaudRate(9600);
        EXPECT_TRUE(port.open()) << port.lastOpenFailure().detail;
        EXPECT_EQ(port.lastOpenFailure().error, OpenError::None);
    }
}

INSTANTIATE_TEST_SUITE_P(Reasons, OpenFailureTest,
                         ::testing::Values(FailureCase{"Missing", OpenError::NoSuchDevice},
                                           FailureCase{"NoNumberedPort", OpenError::NoSuchDevice},
                                           FailureCase{"RegularFile", OpenError::NotASerialPort},
                                           FailureCase{"NotATty", OpenError::NotASerialPort},
                                           FailureCase{"Busy", OpenError::Busy},
                                           FailureCase{"OddSpeed", OpenError::SettingsRejected},
                                           FailureCase{"ZeroSpeed", OpenError::SettingsRejected}),
                         [](const auto& failure) { return std::string(failure.param.name); });

}  // namespace
}  // namespace pelmora::link
