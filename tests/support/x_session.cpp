#include "support/x_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace pelmora::testing {
namespace {

constexpr auto kPollInterval = 10ms;
// A window counts as placed once its frame has not moved for this long.
constexpr auto kGeometrySettle = 250ms;
// How long a mapped probe window may wait for the window manager before it is
// taken for lost and mapped anew.
constexpr auto kProbeManageTimeout = 500ms;

using Clock = std::chrono::steady_clock;

std::optional<int> decodeStatus(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return std::nullopt;
}

std::string readTail(const std::string& path)
{
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    constexpr std::size_t kTail = 2000;
    return text.size() > kTail ? text.substr(text.size() - kTail) : text;
}

// Windows vanish between listing and querying; Xlib's default handler would
// end the test program for that.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

// A window property read whole. Xlib hands out 32-bit items as longs and
// 8-bit items as bytes; `present` is false when the property is missing or
// of another type.
struct Property {
    bool present = false;
    std::vector<unsigned long> items;  // format 32
    std::string bytes;                 // format 8
};

Property readProperty(Display* connection, Window window, Atom property, Atom wantedType, long maxItems)
{
    Property result;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (::XGetWindowProperty(connection, window, property, 0, maxItems, False, wantedType, &type, &format, &count,
                             &after, &data)
            == Success
        && data && type == wantedType) {
        result.present = true;
        if (format == 32) {
            const auto* items = reinterpret_cast<const unsigned long*>(data);
            result.items.assign(items, items + count);
        } else if (format == 8) {
            result.bytes.assign(reinterpret_cast<const char*>(data), count);
        }
    }
    if (data)
        ::XFree(data);
    return result;
}

}  // namespace

// ---------------------------------------------------------------- processes

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), exitCode_(std::exchange(other.exitCode_, std::nullopt))
{
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept
{
    if (this != &other) {
        terminate();
        pid_ = std::exchange(other.pid_, -1);
        exitCode_ = std::exchange(other.exitCode_, std::nullopt);
    }
    return *this;
}

ChildProcess::~ChildProcess()
{
    terminate();
}

bool ChildProcess::running()
{
    if (pid_ <= 0 || exitCode_)
        return false;
    int status = 0;
    const pid_t result = ::waitpid(pid_, &status, WNOHANG);
    if (result == pid_) {
        exitCode_ = decodeStatus(status);
        return !exitCode_;
    }
    return result == 0;
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (running()) {
        if (Clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(kPollInterval);
    }
    return exitCode_;
}

std::optional<int> ChildProcess::terminate(std::chrono::milliseconds grace)
{
    if (pid_ <= 0)
        return exitCode_;
    if (running()) {
        ::kill(pid_, SIGTERM);
        if (!waitForExit(grace)) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            exitCode_ = decodeStatus(status);
        }
    }
    return exitCode_;
}

ChildProcess startProcess(const std::string& program, const std::vector<std::string>& args,
                          const Environment& environment, const std::string& outputPath)
{
    // Everything the child needs is prepared here: after fork only
    // async-signal-safe calls are allowed.
    std::map<std::string, std::string> variables;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string text(*entry);
        const auto equals = text.find('=');
        if (equals != std::string::npos)
            variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : environment)
        variables[name] = value;
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : variables)
        envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& text : envStrings)
        envp.push_back(text.data());
    envp.push_back(nullptr);

    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& text : argStrings)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    int outputFd = -1;
    if (!outputPath.empty()) {
        outputFd = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (outputFd < 0)
            throw std::runtime_error("cannot open " + outputPath + ": " + std::strerror(errno));
    }
    // Reports a failed exec back to the parent; closes by itself on success.
    int execPipe[2];
    if (::pipe2(execPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2 failed");

    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error(std::string("fork failed: ") + std::strerror(errno));
    if (pid == 0) {
        ::close(execPipe[0]);
        if (outputFd >= 0) {
            ::dup2(outputFd, STDOUT_FILENO);
            ::dup2(outputFd, STDERR_FILENO);
        }
        ::execvpe(argv[0], argv.data(), envp.data());
        const int error = errno;
        [[maybe_unused]] auto ignored = ::write(execPipe[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(execPipe[1]);
    if (outputFd >= 0)
        ::close(outputFd);
    int childError = 0;
    ssize_t got = 0;
    do {
        got = ::read(execPipe[0], &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    ::close(execPipe[0]);
    ChildProcess child(pid);
    if (got == sizeof childError) {
        child.waitForExit(kTerminateGrace);
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(childError));
    }
    return child;
}

// ---------------------------------------------------------------- session

XSession::XSession(int screenWidth, int screenHeight) : screenWidth_(screenWidth), screenHeight_(screenHeight)
{
    char pattern[] = "/tmp/pelmora-x-XXXXXX";
    if (!::mkdtemp(pattern))
        throw std::runtime_error("mkdtemp failed");
    workDir_ = pattern;
    const std::string serverLog = workDir_ + "/xvfb.log";
    const std::string wmLog = workDir_ + "/openbox.log";

    // -displayfd: the server picks a free display itself and writes its number
    // to the pipe once it accepts connections.
    int displayPipe[2];
    if (::pipe(displayPipe) != 0)
        throw std::runtime_error("pipe failed");
    ::fcntl(displayPipe[0], F_SETFD, FD_CLOEXEC);
    const std::string screen = std::to_string(screenWidth) + "x" + std::to_string(screenHeight) + "x24";
    try {
        server_ = startProcess(
            "Xvfb",
            {"-displayfd", std::to_string(displayPipe[1]), "-screen", "0", screen, "-nolisten", "tcp", "-noreset"}, {},
            serverLog);
    } catch (const std::exception& error) {
        ::close(displayPipe[0]);
        ::close(displayPipe[1]);
        throw std::runtime_error(std::string(error.what()) + " (is the xvfb package installed?)");
    }
    ::close(displayPipe[1]);

    std::string number;
    const auto deadline = Clock::now() + kServerStartTimeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd readable{displayPipe[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[16];
        const ssize_t got = ::read(displayPipe[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        number.append(buffer, static_cast<std::size_t>(got));
        if (number.find('\n') != std::string::npos)
            break;
    }
    ::close(displayPipe[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == '\r'))
        number.pop_back();
    if (number.empty()) {
        server_.terminate();
        throw std::runtime_error("Xvfb did not report a display; its log:\n" + readTail(serverLog));
    }
    display_ = ":" + number;

    ::XSetErrorHandler(ignoreXError);
    connection_ = ::XOpenDisplay(display_.c_str());
    if (!connection_) {
        server_.terminate();
        throw std::runtime_error("cannot connect to Xvfb on " + display_);
    }

    // The system-wide configuration: a user's own rc must not change frames or
    // placement, and it keeps the usual key bindings (Alt+F4).
    std::vector<std::string> wmArgs{"--sm-disable"};
    if (std::filesystem::exists("/etc/xdg/openbox/rc.xml")) {
        wmArgs.insert(wmArgs.end(), {"--config-file", "/etc/xdg/openbox/rc.xml"});
    }
    try {
        windowManager_ = startProcess("openbox", wmArgs, {{"DISPLAY", display_}}, wmLog);
    } catch (const std::exception& error) {
        ::XCloseDisplay(connection_);
        connection_ = nullptr;
        server_.terminate();
        throw std::runtime_error(std::string(error.what()) + " (is the openbox package installed?)");
    }

    // Ready once the root names a check window that names itself (EWMH) and a
    // window of our own gets managed. openbox announces itself before its event
    // loop runs, and a window mapped in between is never managed; so the probe
    // window is mapped anew until one is.
    const Window root = DefaultRootWindow(connection_);
    const Atom check = ::XInternAtom(connection_, "_NET_SUPPORTING_WM_CHECK", False);
    auto readWindow = [&](Window from) -> Window {
        const Property p = readProperty(connection_, from, check, XA_WINDOW, 1);
        return p.items.size() == 1 ? p.items[0] : 0;
    };
    const Atom wmState = ::XInternAtom(connection_, "WM_STATE", False);
    auto isManaged = [&](Window window) {
        return !readProperty(connection_, window, wmState, wmState, 2).items.empty();
    };
    const auto readyDeadline = Clock::now() + kServerStartTimeout;
    bool ready = false;
    while (!ready && Clock::now() < readyDeadline) {
        const Window announced = readWindow(root);
        if (announced == 0 || readWindow(announced) != announced) {
            std::this_thread::sleep_for(kPollInterval);
            continue;
        }
        const Window probe = ::XCreateSimpleWindow(connection_, root, 0, 0, 10, 10, 0, 0, 0);
        ::XMapWindow(connection_, probe);
        sync();
        ready = waitUntil([&] { return isManaged(probe); }, kProbeManageTimeout);
        ::XDestroyWindow(connection_, probe);
        sync();
    }
    if (!ready) {
        const std::string log = readTail(wmLog);
        ::XCloseDisplay(connection_);
        connection_ = nullptr;
        windowManager_.terminate();
        server_.terminate();
        throw std::runtime_error("openbox did not become ready on " + display_ + "; its log:\n" + log);
    }
}

XSession::~XSession()
{
    windowManager_.terminate();
    if (connection_)
        ::XCloseDisplay(connection_);
    server_.terminate();
    std::error_code ignored;
    std::filesystem::remove_all(workDir_, ignored);
}

ChildProcess XSession::start(const std::string& program, const std::vector<std::string>& args,
                             const Environment& environment, const std::string& outputPath)
{
    Environment merged{{"DISPLAY", display_}, {"QT_QPA_PLATFORM", "xcb"}};
    merged.insert(merged.end(), environment.begin(), environment.end());
    return startProcess(program, args, merged, outputPath);
}

bool XSession::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kPollInterval);
    }
}

void XSession::sync()
{
    ::XSync(connection_, False);
}

// ---------------------------------------------------------------- windows

std::vector<WindowId> XSession::clientWindows()
{
    const Atom list = ::XInternAtom(connection_, "_NET_CLIENT_LIST", False);
    return readProperty(connection_, DefaultRootWindow(connection_), list, XA_WINDOW, 4096).items;
}

std::string XSession::title(WindowId window)
{
    const Atom netName = ::XInternAtom(connection_, "_NET_WM_NAME", False);
    const Atom utf8 = ::XInternAtom(connection_, "UTF8_STRING", False);
    auto read = [&](Atom property, Atom wanted) -> std::optional<std::string> {
        Property p = readProperty(connection_, window, property, wanted, 4096);
        return p.present ? std::optional<std::string>(std::move(p.bytes)) : std::nullopt;
    };
    if (auto name = read(netName, utf8))
        return *name;
    return read(XA_WM_NAME, XA_STRING).value_or(std::string());
}

bool XSession::isMapped(WindowId window)
{
    XWindowAttributes attributes{};
    return ::XGetWindowAttributes(connection_, window, &attributes) && attributes.map_state == IsViewable;
}

FrameExtents XSession::frameExtents(WindowId window)
{
    const Atom property = ::XInternAtom(connection_, "_NET_FRAME_EXTENTS", False);
    const Property p = readProperty(connection_, window, property, XA_CARDINAL, 4);
    if (p.items.size() != 4)
        return {};
    return {static_cast<int>(p.items[0]), static_cast<int>(p.items[1]), static_cast<int>(p.items[2]),
            static_cast<int>(p.items[3])};
}

Rect XSession::clientGeometry(WindowId window)
{
    XWindowAttributes attributes{};
    if (!::XGetWindowAttributes(connection_, window, &attributes))
        return {};
    int rootX = 0, rootY = 0;
    Window child = 0;
    ::XTranslateCoordinates(connection_, window, DefaultRootWindow(connection_), 0, 0, &rootX, &rootY, &child);
    return {rootX, rootY, attributes.width, attributes.height};
}

Rect XSession::outerGeometry(WindowId window)
{
    const Rect client = clientGeometry(window);
    const FrameExtents frame = frameExtents(window);
    return {client.x - frame.left, client.y - frame.top, client.width + frame.left + frame.right,
            client.height + frame.top + frame.bottom};
}

std::optional<WindowId> XSession::waitForWindow(const std::string& wantedTitle, std::chrono::milliseconds timeout)
{
    const Atom extentsAtom = ::XInternAtom(connection_, "_NET_FRAME_EXTENTS", False);
    const auto deadline = Clock::now() + timeout;
    auto framedWindow = [&]() -> std::optional<WindowId> {
        for (WindowId window : clientWindows()) {
            if (title(window) != wantedTitle || !isMapped(window))
                continue;
            int propertyCount = 0;
            Atom* properties = ::XListProperties(connection_, window, &propertyCount);
            bool framed = false;
            for (int i = 0; i < propertyCount; ++i)
                framed = framed || properties[i] == extentsAtom;
            if (properties)
                ::XFree(properties);
            if (framed)
                return window;
        }
        return std::nullopt;
    };
    std::optional<WindowId> found;
    Rect lastGeometry;
    auto stillSince = Clock::now();
    for (;;) {
        const auto candidate = framedWindow();
        if (candidate) {
            const Rect geometry = outerGeometry(*candidate);
            if (candidate != found || !(geometry == lastGeometry)) {
                found = candidate;
                lastGeometry = geometry;
                stillSince = Clock::now();
            } else if (Clock::now() - stillSince >= kGeometrySettle) {
                return found;
            }
        } else {
            found.reset();
        }
        if (Clock::now() >= deadline)
            return found;  // framed but still moving: let the caller judge
        std::this_thread::sleep_for(kPollInterval);
    }
}

bool XSession::waitForWindowGone(const std::string& wantedTitle, std::chrono::milliseconds timeout)
{
    return waitUntil(
        [&] {
            for (WindowId window : clientWindows()) {
                if (title(window) == wantedTitle && isMapped(window))
                    return false;
            }
            return true;
        },
        timeout);
}

std::vector<std::string> XSession::atomListProperty(WindowId window, const char* propertyName)
{
    std::vector<std::string> names;
    const Atom property = ::XInternAtom(connection_, propertyName, False);
    for (const unsigned long atom : readProperty(connection_, window, property, XA_ATOM, 1024).items) {
        if (char* name = ::XGetAtomName(connection_, atom)) {
            names.emplace_back(name);
            ::XFree(name);
        }
    }
    return names;
}

std::vector<std::string> XSession::allowedActions(WindowId window)
{
    return atomListProperty(window, "_NET_WM_ALLOWED_ACTIONS");
}

std::vector<std::string> XSession::windowState(WindowId window)
{
    return atomListProperty(window, "_NET_WM_STATE");
}

std::vector<std::string> XSession::windowTypes(WindowId window)
{
    return atomListProperty(window, "_NET_WM_WINDOW_TYPE");
}

std::optional<WindowId> XSession::transientFor(WindowId window)
{
    Window owner = 0;
    if (::XGetTransientForHint(connection_, window, &owner) && owner != 0)
        return owner;
    return std::nullopt;
}

std::optional<WindowId> XSession::activeWindow()
{
    const Atom property = ::XInternAtom(connection_, "_NET_ACTIVE_WINDOW", False);
    const Property p = readProperty(connection_, DefaultRootWindow(connection_), property, XA_WINDOW, 1);
    if (p.items.size() != 1 || p.items[0] == 0)
        return std::nullopt;
    return p.items[0];
}

// ---------------------------------------------------------------- input

void XSession::moveMouse(int rootX, int rootY)
{
    ::XTestFakeMotionEvent(connection_, DefaultScreen(connection_), rootX, rootY, CurrentTime);
    sync();
}

void XSession::pressButton(int button)
{
    ::XTestFakeButtonEvent(connection_, static_cast<unsigned>(button), True, CurrentTime);
    sync();
}

void XSession::releaseButton(int button)
{
    ::XTestFakeButtonEvent(connection_, static_cast<unsigned>(button), False, CurrentTime);
    sync();
}

void XSession::click(int rootX, int rootY, int button)
{
    moveMouse(rootX, rootY);
    pressButton(button);
    releaseButton(button);
}

void XSession::doubleClick(int rootX, int rootY, int button)
{
    click(rootX, rootY, button);
    pressButton(button);
    releaseButton(button);
}

void XSession::key(const std::string& keysym, const std::vector<std::string>& modifiers)
{
    auto keycodeOf = [this](const std::string& name) {
        const KeySym symbol = ::XStringToKeysym(name.c_str());
        const KeyCode code = symbol == NoSymbol ? 0 : ::XKeysymToKeycode(connection_, symbol);
        if (code == 0)
            throw std::invalid_argument("no key for keysym \"" + name + "\"");
        return code;
    };
    std::vector<KeyCode> held;
    for (const auto& modifier : modifiers)
        held.push_back(keycodeOf(modifier));
    const KeyCode main = keycodeOf(keysym);
    for (KeyCode code : held)
        ::XTestFakeKeyEvent(connection_, code, True, CurrentTime);
    ::XTestFakeKeyEvent(connection_, main, True, CurrentTime);
    ::XTestFakeKeyEvent(connection_, main, False, CurrentTime);
    for (auto it = held.rbegin(); it != held.rend(); ++it)
        ::XTestFakeKeyEvent(connection_, *it, False, CurrentTime);
    sync();
}

// ---------------------------------------------------------------- screenshots

void XSession::savePng(const std::string& path)
{
    const auto parent = std::filesystem::path(path).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent);
    // /usr/bin explicitly: other tools named `import` may sit earlier in PATH.
    const std::string log = workDir_ + "/import.log";
    ChildProcess import = startProcess("/usr/bin/import", {"-display", display_, "-window", "root", path}, {}, log);
    const auto code = import.waitForExit(kScreenshotTimeout);
    if (code != 0) {
        throw std::runtime_error("screenshot to " + path + " failed (is imagemagick installed?): " + readTail(log));
    }
}

}  // namespace pelmora::testing
