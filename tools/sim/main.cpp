// pelmora-sim: a stand-in for the paging transmitter. It offers a
// pseudo-terminal that pelmora-send or the window can open like a serial
// port, and reports every page command it receives, so the whole road of a
// page can be tried without hardware.

#include "byte_text.h"
#include "exit_codes.h"
#include "frame_report.h"

#include "link/frame_parser.h"

#include <pelmora/version.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace pelmora;

constexpr const char* kProgram = "pelmora-sim";
constexpr std::size_t kReadChunk = 1 << 16;
// Only if the pty reports a hang-up although we hold the slave open.
constexpr std::chrono::milliseconds kHangUpPause{50};

int signalPipe[2] = {-1, -1};

extern "C" void onStopSignal(int)
{
    const int saved = errno;
    const char token = 1;
    [[maybe_unused]] const auto ignored = ::write(signalPipe[1], &token, 1);
    errno = saved;
}

struct SimOptions {
    std::optional<std::string> linkPath;
    bool json = false;
    bool once = false;
};

const char* const kHelp = R"(Usage: pelmora-sim [--json] [--once] [--link PATH]
Stand in for a paging transmitter: open a pseudo-terminal, print the device a
sender should use, and report every page command ("#" to "$") received on it.

The first line is always "pelmora-sim: transmitter on DEVICE". Then each
frame gives one line with its phase, address, function, rate, pager type and
message (GBK shown as UTF-8) and its raw bytes in hex. Bytes outside a frame,
a frame cut off by a new "#" or by the end, and unknown codes are reported
as such.

Options:
  --json        one JSON object per line after the first, instead of text
  --once        exit after the first complete frame
  --link PATH   also make PATH a symbolic link to the device (removed at
                exit; an existing PATH is left alone and is an error)
  -h, --help    print this help and exit
  --version     print the version and exit

SIGINT, SIGTERM and SIGHUP end it cleanly, reporting a frame still open.

Exit status:
  0   ended by --once or a signal
  64  usage error
  71  no pseudo-terminal could be made
  73  the --link path cannot be created
  74  standard output cannot be written

Examples:
  pelmora-sim --link /tmp/pager &
  pelmora-send --device /tmp/pager --address 1234567 123
)";

void complain(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
}

// False when standard output is gone; nobody is left to report to.
bool printLine(const std::string& line)
{
    return std::fwrite(line.data(), 1, line.size(), stdout) == line.size() && std::fputc('\n', stdout) != EOF
           && std::fflush(stdout) == 0;
}

std::optional<int> parseArguments(int argc, char** argv, SimOptions& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(kHelp, stdout);
            return tools::kExitOk;
        }
        if (argument == "--version") {
            std::printf("%s %s\n", kProgram, kVersion);
            return tools::kExitOk;
        }
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--json") {
            options.json = true;
        } else if (argument == "--once") {
            options.once = true;
        } else if (argument == "--link" && i + 1 < argc && argv[i + 1][0] != '\0') {
            options.linkPath = argv[++i];
        } else if (argument.rfind("--link=", 0) == 0 && argument.size() > 7) {
            options.linkPath = std::string(argument.substr(7));
        } else {
            complain(argument == "--link" ? "--link needs a path"
                                          : "unknown argument " + std::string(argument) + " (see pelmora-sim --help)");
            return tools::kExitUsage;
        }
    }
    return std::nullopt;
}

class PseudoTerminal {
public:
    ~PseudoTerminal()
    {
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
    }

    // Empty on success, else what failed.
    std::string open()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0)
            return std::string("posix_openpt: ") + std::strerror(errno);
        if (grantpt(master_) != 0 || unlockpt(master_) != 0)
            return std::string("grantpt/unlockpt: ") + std::strerror(errno);
        std::array<char, 128> name{};
        if (ptsname_r(master_, name.data(), name.size()) != 0)
            return std::string("ptsname: ") + std::strerror(errno);
        slaveName_ = name.data();
        // Held open for our whole life: when the last sender closes its side,
        // the master would otherwise see a hang-up and read EIO until the
        // next sender opens it.
        slave_ = ::open(slaveName_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_ < 0)
            return "open " + slaveName_ + ": " + std::strerror(errno);
        termios settings{};
        if (tcgetattr(slave_, &settings) != 0)
            return std::string("tcgetattr: ") + std::strerror(errno);
        cfmakeraw(&settings);
        if (tcsetattr(slave_, TCSANOW, &settings) != 0)
            return std::string("tcsetattr: ") + std::strerror(errno);
        const int flags = fcntl(master_, F_GETFL);
        if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0)
            return std::string("fcntl: ") + std::strerror(errno);
        return {};
    }

    int master() const { return master_; }
    const std::string& slaveName() const { return slaveName_; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slaveName_;
};

// The --link symbolic link, removed again only if it is still ours.
class DeviceLink {
public:
    DeviceLink() = default;
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;
    ~DeviceLink()
    {
        if (path_.empty())
            return;
        std::array<char, 256> target{};
        const ssize_t length = ::readlink(path_.c_str(), target.data(), target.size() - 1);
        if (length >= 0 && std::string_view(target.data(), static_cast<std::size_t>(length)) == target_)
            ::unlink(path_.c_str());
    }

    std::string create(const std::string& path, const std::string& target)
    {
        if (::symlink(target.c_str(), path.c_str()) != 0)
            return "cannot create link " + path + ": " + std::strerror(errno);
        path_ = path;
        target_ = target;
        return {};
    }

private:
    std::string path_;
    std::string target_;
};

bool installSignalHandlers()
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        if (sigaction(signalNumber, &action, nullptr) != 0)
            return false;
    }
    signal(SIGPIPE, SIG_IGN);
    return true;
}

int run(int argc, char** argv)
{
    SimOptions options;
    if (const auto exitCode = parseArguments(argc, argv, options))
        return *exitCode;

    if (!installSignalHandlers()) {
        complain(std::string("cannot install signal handlers: ") + std::strerror(errno));
        return tools::kExitOsError;
    }
    PseudoTerminal pty;
    if (const std::string error = pty.open(); !error.empty()) {
        complain("cannot make a pseudo-terminal: " + error);
        return tools::kExitOsError;
    }
    DeviceLink deviceLink;
    if (options.linkPath) {
        if (const std::string error = deviceLink.create(*options.linkPath, pty.slaveName()); !error.empty()) {
            complain(error);
            return tools::kExitCantCreate;
        }
    }
    if (!printLine(std::string(kProgram) + ": transmitter on " + pty.slaveName()))
        return tools::kExitIoError;

    link::FrameParser parser;
    const std::size_t limit = link::FrameParser::kDefaultMaxFrameBytes;
    bool frameSeen = false;
    // Prints events in order; with --once, none after the first frame.
    auto report = [&](const std::vector<link::FrameEvent>& events) {
        for (const link::FrameEvent& event : events) {
            if (options.once && frameSeen)
                return true;
            if (!printLine(options.json ? tools::sim::eventJson(event, limit) : tools::sim::eventLine(event, limit)))
                return false;
            frameSeen = frameSeen || event.kind == link::FrameEventKind::Frame;
        }
        return true;
    };

    std::vector<char> buffer(kReadChunk);
    while (!(options.once && frameSeen)) {
        std::array<pollfd, 2> fds{pollfd{pty.master(), POLLIN, 0}, pollfd{signalPipe[0], POLLIN, 0}};
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            complain(std::string("poll: ") + std::strerror(errno));
            return tools::kExitOsError;
        }
        if (fds[1].revents != 0)
            break;
        bool gotData = false;
        while (!(options.once && frameSeen)) {
            const ssize_t n = ::read(pty.master(), buffer.data(), buffer.size());
            if (n > 0) {
                gotData = true;
                if (!report(parser.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)))))
                    return tools::kExitIoError;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            break;  // EAGAIN: drained; EIO: no sender (cannot last, we hold the slave)
        }
        if (!gotData && (fds[0].revents & (POLLHUP | POLLERR)))
            std::this_thread::sleep_for(kHangUpPause);
    }
    if (!report(parser.finish()))
        return tools::kExitIoError;
    return tools::kExitOk;
}

}  // namespace

int main(int argc, char** argv)
{
    return pelmora::tools::runReportingInternalErrors(kProgram, [&] { return run(argc, argv); });
}
