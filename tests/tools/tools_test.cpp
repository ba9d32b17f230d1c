// pelmora-send and pelmora-sim as real processes on real pseudo-terminals.

#include "child_process.h"
#include "text_test_bytes.h"

#include "link/gbk_text.h"
#include "link/page_command.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace pelmora {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::fromHex;
using test::runToEnd;
using test::toHex;

const std::string kSend = PELMORA_SEND_PATH;
const std::string kSim = PELMORA_SIM_PATH;

// Generous: the machine may be loaded; a healthy run takes milliseconds.
constexpr auto kLineTimeout = 10s;
constexpr auto kExitTimeout = 10s;
// Lets the simulator read one write before the next arrives.
constexpr auto kBetweenWrites = 50ms;

// The hex between the last "[" and "]" of a simulator text line.
std::string rawHexOf(const std::string& line)
{
    const auto open = line.rfind('[');
    if (open == std::string::npos || line.empty() || line.back() != ']')
        return "no raw bytes in: " + line;
    return line.substr(open + 1, line.size() - open - 2);
}

class Simulator {
public:
    explicit Simulator(std::vector<std::string> arguments = {}) : process_(kSim, arguments)
    {
        const auto first = process_.readLine(kLineTimeout);
        const std::string prefix = "pelmora-sim: transmitter on ";
        if (first && first->rfind(prefix, 0) == 0)
            device_ = first->substr(prefix.size());
    }

    const std::string& device() const { return device_; }
    std::string nextLine() { return process_.readLine(kLineTimeout).value_or("<no line>"); }
    ChildProcess& process() { return process_; }

    // Writes each piece as its own write, pausing between them.
    void writePieces(const std::vector<std::string>& pieces)
    {
        const int fd = ::open(device_.c_str(), O_WRONLY | O_NOCTTY);
        ASSERT_GE(fd, 0) << device_ << ": " << std::strerror(errno);
        for (const std::string& piece : pieces) {
            ASSERT_EQ(::write(fd, piece.data(), piece.size()), static_cast<ssize_t>(piece.size()));
            std::this_thread::sleep_for(kBetweenWrites);
        }
        ::close(fd);
    }

private:
    ChildProcess process_;
    std::string device_;
};

class SendToSimulator : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(simulator_.device().empty()) << "simulator did not start"; }

    test::RunResult send(std::vector<std::string> arguments, const std::string& input = {})
    {
        arguments.insert(arguments.begin(), {"--device", simulator_.device()});
        return runToEnd(kSend, arguments, input);
    }

    Simulator simulator_;
};

struct OptionRow {
    std::vector<std::string> arguments;
    link::page::Selections selections;
};

TEST_F(SendToSimulator, EveryOptionValueArrivesAsTheWindowWouldBuildIt)
{
    const OptionRow rows[] = {
        {{}, {0, 0, 0, 0}},
        {{"--phase", "normal"}, {0, 0, 0, 0}},
        {{"--phase", "inverted"}, {1, 0, 0, 0}},
        {{"--phase", "正"}, {0, 0, 0, 0}},
        {{"--phase", "反"}, {1, 0, 0, 0}},
        {{"--phase", "P"}, {0, 0, 0, 0}},
        {{"--phase=N"}, {1, 0, 0, 0}},
        {{"--function", "1"}, {0, 0, 0, 0}},
        {{"--function", "2"}, {0, 1, 0, 0}},
        {{"--function", "3"}, {0, 2, 0, 0}},
        {{"--function=4"}, {0, 3, 0, 0}},
        {{"--rate", "1200"}, {0, 0, 0, 0}},
        {{"--rate", "512"}, {0, 0, 1, 0}},
        {{"--type", "numeric"}, {0, 0, 0, 0}},
        {{"--type", "chinese"}, {0, 0, 0, 1}},
        {{"--type", "数字机"}, {0, 0, 0, 0}},
        {{"--type", "汉字机"}, {0, 0, 0, 1}},
        {{"--type", "T"}, {0, 0, 0, 1}},
        {{"--baud", "9600"}, {0, 0, 0, 0}},
        {{"--baud", "115200"}, {0, 0, 0, 0}},
        {{"--timeout", "5000"}, {0, 0, 0, 0}},
        {{"--phase", "反", "--function", "4", "--rate", "512", "--type", "汉字机"}, {1, 3, 1, 1}},
    };
    for (const OptionRow& row : rows) {
        std::string trace;
        for (const std::string& argument : row.arguments)
            trace += argument + " ";
        SCOPED_TRACE(trace);
        std::vector<std::string> arguments = row.arguments;
        arguments.insert(arguments.end(), {"--address", "1234567", "123"});
        const std::string expected = toHex(link::page::buildCommand(row.selections, "1234567", "123"));

        const test::RunResult sent = send(arguments);
        ASSERT_EQ(sent.exitCode, 0) << sent.err;
        EXPECT_EQ(rawHexOf(simulator_.nextLine()), expected);

        arguments.push_back("--dry-run");
        const test::RunResult dry = runToEnd(kSend, arguments);
        ASSERT_EQ(dry.exitCode, 0) << dry.err;
        EXPECT_EQ(dry.out.substr(0, dry.out.find('\n')), expected);
    }
}

TEST_F(SendToSimulator, SetsTheChosenLineSpeed)
{
    const struct {
        const char* baud;
        speed_t speed;
    } rows[] = {{"9600", B9600}, {"115200", B115200}, {nullptr, B115200}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.baud ? row.baud : "default");
        std::vector<std::string> arguments{"--address", "1", "9"};
        if (row.baud)
            arguments.insert(arguments.begin(), {"--baud", row.baud});
        ASSERT_EQ(send(arguments).exitCode, 0);
        simulator_.nextLine();
        // The simulator keeps the line open, so the sender's settings stay.
        const int fd = ::open(simulator_.device().c_str(), O_RDONLY | O_NOCTTY);
        ASSERT_GE(fd, 0);
        termios settings{};
        ASSERT_EQ(tcgetattr(fd, &settings), 0);
        ::close(fd);
        EXPECT_EQ(cfgetospeed(&settings), row.speed);
    }
}

TEST_F(SendToSimulator, SendsTextAsGbkWithCrLfLineBreaks)
{
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        std::string input;
        std::string messageHex;
    } rows[] = {
        {"argument with LF", {"12\n34"}, "", "31 32 0D 0A 33 34"},
        {"argument with CR LF", {"12\r\n34"}, "", "31 32 0D 0A 33 34"},
        {"standard input", {"--type", "chinese", "-"}, "数据\n第二行\n", "CA FD BE DD 0D 0A B5 DA B6 FE D0 D0 0D 0A"},
        {"empty standard input", {"-"}, "", ""},
        {"no message", {}, "", ""},
        {"message after --", {"--", "-5"}, "", "2D 35"},
        {"marks inside", {"a#b$"}, "", "61 23 62 24"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> arguments{"--address", "1234567"};
        arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
        const test::RunResult sent = send(arguments, row.input);
        ASSERT_EQ(sent.exitCode, 0) << sent.err;
        const std::string codes = row.arguments.size() > 1 && row.arguments[0] == "--type" ? "31 48 54" : "31 48 4E";
        const std::string expected =
            "23 50 31 32 33 34 35 36 37 " + codes + (row.messageHex.empty() ? "" : " ") + row.messageHex + " 24";
        // A "$" inside the message ends the frame early, as at a transmitter.
        const std::string line = simulator_.nextLine();
        if (std::string(row.name) == "marks inside") {
            EXPECT_EQ(rawHexOf(line), "23 50 31 32 33 34 35 36 37 31 48 4E 61");
            EXPECT_NE(line.find("cut off by a new \"#\""), std::string::npos) << line;
            EXPECT_EQ(rawHexOf(simulator_.nextLine()), "23 62 24");
        } else {
            EXPECT_EQ(rawHexOf(line), expected);
        }
    }
}

TEST_F(SendToSimulator, CarriesAMegabyteFromStandardInput)
{
    std::string message;
    while (message.size() < (1u << 20))
        message += "数据0123456789\n";
    const test::RunResult sent = send({"--type", "chinese", "--address", "1", "-"}, message);
    ASSERT_EQ(sent.exitCode, 0) << sent.err;
    const std::string line = simulator_.nextLine();
    const link::GbkResult gbk = link::utf8ToGbk(message);
    ASSERT_TRUE(gbk.ok());
    const std::string expected = toHex("#P11HT" + link::lfToCrLf(gbk.bytes) + "$");
    EXPECT_TRUE(rawHexOf(line) == expected) << "got " << line.size() << " characters";
}

TEST_F(SendToSimulator, RefusesTextWithoutGbkCodeAndSendsNothing)
{
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        std::string input;
        std::string error;
    } rows[] = {
        {"emoji in message", {"--address", "1", "ab😀"}, "", "message: character U+1F600 (😀) at position 3"},
        {"emoji in address", {"--address", "12😀", "x"}, "", "address: character U+1F600 (😀) at position 3"},
        {"not UTF-8 on stdin", {"--address", "1", "-"}, "ok\xFF", "message: invalid UTF-8 (byte 0xFF)"},
        {"Korean currency", {"--address", "1", "₩5"}, "", "U+20A9"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const test::RunResult sent = send(row.arguments, row.input);
        EXPECT_EQ(sent.exitCode, 65);
        EXPECT_NE(sent.err.find(row.error), std::string::npos) << sent.err;
        EXPECT_NE(sent.err.find("nothing sent"), std::string::npos) << sent.err;
    }
    // Nothing reached the line: the next frame is the first one seen.
    ASSERT_EQ(send({"--address", "1", "7"}).exitCode, 0);
    EXPECT_EQ(rawHexOf(simulator_.nextLine()), "23 50 31 31 48 4E 37 24");
}

TEST_F(SendToSimulator, WarnsAboutCharactersANumericPagerCannotShow)
{
    const test::RunResult warned = send({"--address", "1", "12ab\n"});
    ASSERT_EQ(warned.exitCode, 0);
    EXPECT_NE(warned.err.find("warning"), std::string::npos);
    EXPECT_NE(warned.err.find("\"a\", \"b\", \"\\r\", \"\\n\""), std::string::npos) << warned.err;
    EXPECT_EQ(rawHexOf(simulator_.nextLine()), "23 50 31 31 48 4E 31 32 61 62 0D 0A 24");

    const struct {
        std::vector<std::string> arguments;
    } quiet[] = {{{"--address", "1", "0123456789ABCDEF"}}, {{"--type", "chinese", "--address", "1", "ab"}}};
    for (const auto& row : quiet) {
        const test::RunResult sent = send(row.arguments);
        ASSERT_EQ(sent.exitCode, 0);
        EXPECT_EQ(sent.err, "");
        simulator_.nextLine();
    }
}

TEST(SendCommandLine, RejectsBadUsageWithExitCode64)
{
    const std::vector<std::string> rows[] = {
        {"123"},
        {"--address"},
        {"--address", "1", "--bogus", "x"},
        {"--address", "1", "--baud", "4800"},
        {"--address", "1", "--function", "5"},
        {"--address", "1", "--function", "0"},
        {"--address", "1", "--phase", "sideways"},
        {"--address", "1", "--rate", "2400"},
        {"--address", "1", "--type", "alpha"},
        {"--address", "1", "--port", "0"},
        {"--address", "1", "--port", "x1"},
        {"--address", "1", "--port", "1", "--device", "/dev/null"},
        {"--address", "1", "--timeout", "-1"},
        {"--address", "1", "one", "two"},
        {"--list-ports", "--address", "1"},
    };
    for (const auto& arguments : rows) {
        std::string trace;
        for (const std::string& argument : arguments)
            trace += argument + " ";
        SCOPED_TRACE(trace);
        const test::RunResult result = runToEnd(kSend, arguments);
        EXPECT_EQ(result.exitCode, 64);
        EXPECT_EQ(result.err.rfind("pelmora-send: ", 0), 0u) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_EQ(result.out, "");
    }
}

TEST(SendCommandLine, ReportsAMissingDeviceWithExitCode69)
{
    const std::string missing = (std::filesystem::temp_directory_path() / "pelmora-no-such-port").string();
    const test::RunResult result = runToEnd(kSend, {"--device", missing, "--address", "1", "5"});
    EXPECT_EQ(result.exitCode, 69);
    EXPECT_NE(result.err.find(missing), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("no such"), std::string::npos) << result.err;
}

TEST(SendCommandLine, NamesTheDialoutGroupWhenAccessIsDenied)
{
    int master = -1, slave = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ASSERT_EQ(::chmod(name, 0), 0);
    // Root may open any device, so as root the sender runs as nobody.
    const std::vector<std::string> sendArguments{"--device", name, "--address", "1", "5"};
    test::RunResult result;
    if (::geteuid() == 0) {
        std::vector<std::string> asNobody{"--reuid=65534", "--regid=65534", "--clear-groups", kSend};
        asNobody.insert(asNobody.end(), sendArguments.begin(), sendArguments.end());
        result = runToEnd("/usr/bin/setpriv", asNobody);
        if (result.exitCode == 126 || result.exitCode == 127)
            GTEST_SKIP() << "nobody cannot run the sender from this build directory: " << result.err;
    } else {
        result = runToEnd(kSend, sendArguments);
    }
    ::close(slave);
    ::close(master);
    EXPECT_EQ(result.exitCode, 69);
    EXPECT_NE(result.err.find("permission denied"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("dialout"), std::string::npos) << result.err;
}

TEST(SendCommandLine, GivesUpOnAStalledReceiverWithExitCode74)
{
    // Nobody reads the master, and output on the line is suspended from a
    // second descriptor, as a receiver holding off the sender would. Merely
    // filling the buffer is not enough: opening a port discards what is
    // queued on it, which makes room again.
    int master = -1, slave = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ASSERT_EQ(tcflow(slave, TCOOFF), 0);

    const auto started = std::chrono::steady_clock::now();
    const test::RunResult result = runToEnd(kSend, {"--device", name, "--timeout", "10", "--address", "1", "5"});
    const auto elapsed = std::chrono::steady_clock::now() - started;
    ::close(slave);
    ::close(master);

    // "#P11HN5$" is 8 bytes: the write may take 10 + 10 * 8 ms before giving up.
    EXPECT_EQ(result.exitCode, 74) << result.err;
    EXPECT_NE(result.err.find(name), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("timed out"), std::string::npos) << result.err;
    EXPECT_GE(elapsed, 90ms);
    EXPECT_LT(elapsed, 8s);
}

TEST(Simulator, ReportsFramesNoiseAndCutOffFramesAsTheyArrive)
{
    Simulator simulator;
    ASSERT_FALSE(simulator.device().empty());
    simulator.writePieces({"noise", "#P123", "4567", "1HN", fromHex("CA FD BE DD") + "$", "#N9#P1HN$", "#P12"});
    EXPECT_EQ(simulator.nextLine(), "noise outside a frame: \"noise\" [6E 6F 69 73 65]");
    EXPECT_EQ(simulator.nextLine(),
              "frame: phase P (normal), address \"1234567\", function 1, rate H (1200), type N (numeric), "
              "message \"数据\" [23 50 31 32 33 34 35 36 37 31 48 4E CA FD BE DD 24]");
    EXPECT_EQ(simulator.nextLine(), "frame cut off by a new \"#\": \"#N9\" [23 4E 39]");
    EXPECT_EQ(simulator.nextLine(),
              "frame: phase P (normal), address \"\", function 1, rate H (1200), type N (numeric), message \"\" "
              "[23 50 31 48 4E 24]");
    simulator.process().signal(SIGTERM);
    EXPECT_EQ(simulator.nextLine(), "frame cut off at the end of the stream: \"#P12\" [23 50 31 32]");
    EXPECT_EQ(simulator.process().wait(kExitTimeout), 0);
}

TEST(Simulator, ShowsUnknownCodesAndEscapesControlBytes)
{
    Simulator simulator;
    ASSERT_FALSE(simulator.device().empty());
    simulator.writePieces({"#P1234567$", std::string("#X1\"\\\x01"
                                                     "2LT\r\n\xFF$",
                                                     13)});
    EXPECT_EQ(simulator.nextLine(),
              "frame with unknown codes: phase P (normal), no function/rate/type codes in \"1234567\" "
              "[23 50 31 32 33 34 35 36 37 24]");
    EXPECT_EQ(simulator.nextLine(),
              "frame with unknown codes: phase unknown, address \"X1\\\"\\\\\\x01\", function 2, rate L (512), "
              "type T (chinese), message \"\\r\\n\\xFF\" [23 58 31 22 5C 01 32 4C 54 0D 0A FF 24]");
}

TEST(Simulator, PrintsOneJsonObjectPerEvent)
{
    Simulator simulator({"--json"});
    ASSERT_FALSE(simulator.device().empty());
    simulator.writePieces({"a\"\\\x01", "#N12345674LT" + fromHex("CA FD BE DD") + "\r\n$", "#P12$", "#P"});
    EXPECT_EQ(simulator.nextLine(), R"({"event":"noise","text":"a\"\\\u0001","raw":"61 22 5C 01"})");
    EXPECT_EQ(simulator.nextLine(),
              R"({"event":"frame","complete":true,"phase":"N","address":"1234567","function":"4","rate":"L",)"
              R"("type":"T","message":"数据\r\n","undecoded":null,)"
              R"("raw":"23 4E 31 32 33 34 35 36 37 34 4C 54 CA FD BE DD 0D 0A 24"})");
    EXPECT_EQ(simulator.nextLine(),
              R"({"event":"frame","complete":false,"phase":"P","address":"","function":null,"rate":null,)"
              R"("type":null,"message":"","undecoded":"12","raw":"23 50 31 32 24"})");
    simulator.process().signal(SIGINT);
    EXPECT_EQ(simulator.nextLine(), R"({"event":"cut-off","reason":"end of stream","text":"#P","raw":"23 50"})");
    EXPECT_EQ(simulator.process().wait(kExitTimeout), 0);
}

TEST(Simulator, StopsAfterTheFirstFrameWithOnce)
{
    Simulator simulator({"--once"});
    ASSERT_FALSE(simulator.device().empty());
    simulator.writePieces({"#P1HN1$#P1HN2$"});
    EXPECT_EQ(rawHexOf(simulator.nextLine()), "23 50 31 48 4E 31 24");
    EXPECT_EQ(simulator.process().wait(kExitTimeout), 0);
    EXPECT_EQ(simulator.process().pendingOutput(), "");
}

TEST(Simulator, OffersALinkToItsDeviceWhileItRuns)
{
    const std::filesystem::path link =
        std::filesystem::temp_directory_path() / ("pelmora-sim-link-" + std::to_string(::getpid()));
    std::filesystem::remove(link);
    {
        Simulator simulator({"--link", link.string()});
        ASSERT_FALSE(simulator.device().empty());
        EXPECT_EQ(std::filesystem::read_symlink(link), simulator.device());
        ASSERT_EQ(runToEnd(kSend, {"--device", link.string(), "--address", "1", "3"}).exitCode, 0);
        EXPECT_EQ(rawHexOf(simulator.nextLine()), "23 50 31 31 48 4E 33 24");

        // The link is taken: a second simulator must not replace it.
        const test::RunResult second = runToEnd(kSim, {"--link", link.string()});
        EXPECT_EQ(second.exitCode, 73);
        EXPECT_EQ(std::filesystem::read_symlink(link), simulator.device());

        simulator.process().signal(SIGTERM);
        EXPECT_EQ(simulator.process().wait(kExitTimeout), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(Simulator, KeepsReadingAcrossSendersOpeningAndClosingTheLine)
{
    Simulator simulator;
    ASSERT_FALSE(simulator.device().empty());
    for (const char* message : {"1", "2", "3"}) {
        ASSERT_EQ(runToEnd(kSend, {"--device", simulator.device(), "--address", "8", message}).exitCode, 0);
        EXPECT_EQ(rawHexOf(simulator.nextLine()), "23 50 38 31 48 4E " + toHex(message) + " 24");
    }
}

}  // namespace
}  // namespace pelmora
