// A private X display for tests that need a real window manager: frames,
// outer sizes, positions, taskbar hints, modality and exit codes cannot be
// seen on Qt's offscreen platform.
//
// Usage (link `pelmora_test_x`; include as "support/x_session.h"):
//
//   pelmora::testing::XSession x;                        // Xvfb 1280x1024x24 + openbox
//   auto app = x.start(appPath);                         // DISPLAY and QT_QPA_PLATFORM=xcb set
//   auto window = x.waitForWindow("PelmoraV1.0", std::chrono::seconds(20));
//   ASSERT_TRUE(window);
//   EXPECT_TRUE(x.waitUntil([&] { return x.outerGeometry(*window).height == 530; },
//                           std::chrono::seconds(10)));
//   x.key("Escape");
//   EXPECT_EQ(app.waitForExit(std::chrono::seconds(20)), 0);
//   x.savePng(std::string(PELMORA_ARTIFACT_DIR) + "/main.png");
//
// Everything blocks the calling thread; every wait takes a timeout and gives
// up with an empty result (or false) when it runs out. Setup failures (Xvfb or
// openbox missing or not starting) throw std::runtime_error with the reason,
// which GoogleTest reports as a failure of the test that built the session.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct _XDisplay;  // Xlib's Display; kept out of this header for its macros.

namespace pelmora::testing {

using namespace std::chrono_literals;

// Generous bounds: the machine that runs the tests may be loaded.
inline constexpr std::chrono::milliseconds kServerStartTimeout = 20s;
inline constexpr std::chrono::milliseconds kWindowWaitTimeout = 20s;
inline constexpr std::chrono::milliseconds kTerminateGrace = 3s;
inline constexpr std::chrono::milliseconds kScreenshotTimeout = 30s;

// A started program. Owns the process: the destructor terminates it (SIGTERM,
// then SIGKILL after kTerminateGrace) if it still runs, and reaps it.
class ChildProcess {
public:
    ChildProcess() = default;
    explicit ChildProcess(int pid) : pid_(pid) {}
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    int pid() const { return pid_; }
    // True while the process has not exited (reaps it if it just did).
    bool running();
    // Blocks up to `timeout` for the process to end. Returns its exit code, or
    // 128 + signal number if a signal ended it; empty if it still runs.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    // SIGTERM, up to `grace` to exit, then SIGKILL; always reaps. Returns the
    // exit code as waitForExit does.
    std::optional<int> terminate(std::chrono::milliseconds grace = kTerminateGrace);

private:
    int pid_ = -1;
    std::optional<int> exitCode_;
};

using Environment = std::vector<std::pair<std::string, std::string>>;

// Starts `program` (looked up in PATH when it has no slash) with `args`, the
// current environment plus `environment` (which overrides), and stdout/stderr
// sent to `outputPath` when it is not empty. Throws std::runtime_error when the
// program cannot be executed (e.g. not installed).
ChildProcess startProcess(const std::string& program, const std::vector<std::string>& args = {},
                          const Environment& environment = {}, const std::string& outputPath = {});

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
};

struct FrameExtents {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
    bool operator==(const FrameExtents&) const = default;
};

using WindowId = unsigned long;  // an X window id

class XSession {
public:
    // Starts Xvfb on a free display (screen 0, 24-bit) and openbox on it and
    // waits until the window manager has announced itself and manages a window
    // of ours. Blocks up to kServerStartTimeout for each; throws
    // std::runtime_error on failure.
    explicit XSession(int screenWidth = 1280, int screenHeight = 1024);
    // Stops openbox and Xvfb and reaps both.
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    const std::string& display() const { return display_; }  // e.g. ":5"
    int screenWidth() const { return screenWidth_; }
    int screenHeight() const { return screenHeight_; }

    // Starts a program on this display (DISPLAY set, QT_QPA_PLATFORM=xcb);
    // `environment` adds or overrides variables; its output goes to
    // `outputPath` if given. Does not wait for its windows.
    ChildProcess start(const std::string& program, const std::vector<std::string>& args = {},
                       const Environment& environment = {}, const std::string& outputPath = {});

    // Waits for a managed top-level window titled exactly `title` (UTF-8
    // _NET_WM_NAME, else WM_NAME) to be mapped, framed (_NET_FRAME_EXTENTS set)
    // and to hold still for a moment. Empty on timeout.
    std::optional<WindowId> waitForWindow(const std::string& title,
                                          std::chrono::milliseconds timeout = kWindowWaitTimeout);
    // Waits until no managed window with `title` is mapped any more.
    bool waitForWindowGone(const std::string& title, std::chrono::milliseconds timeout = kWindowWaitTimeout);
    // Polls `condition` (every few milliseconds) until it holds; false on timeout.
    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

    // Root coordinates of the frame: client position and size grown by the
    // window manager's _NET_FRAME_EXTENTS.
    Rect outerGeometry(WindowId window);
    // Root coordinates and size of the client area.
    Rect clientGeometry(WindowId window);
    FrameExtents frameExtents(WindowId window);

    // Managed client windows (_NET_CLIENT_LIST), oldest first.
    std::vector<WindowId> clientWindows();
    std::string title(WindowId window);
    bool isMapped(WindowId window);
    std::vector<std::string> allowedActions(WindowId window);  // _NET_WM_ALLOWED_ACTIONS names
    std::vector<std::string> windowState(WindowId window);     // _NET_WM_STATE names
    std::vector<std::string> windowTypes(WindowId window);     // _NET_WM_WINDOW_TYPE names
    std::optional<WindowId> transientFor(WindowId window);     // WM_TRANSIENT_FOR
    std::optional<WindowId> activeWindow();                    // _NET_ACTIVE_WINDOW

    // Synthetic input through XTest, delivered before these return (the
    // receiving program handles it asynchronously: wait for its effect).
    void moveMouse(int rootX, int rootY);
    void click(int rootX, int rootY, int button = 1);
    void doubleClick(int rootX, int rootY, int button = 1);
    void pressButton(int button = 1);
    void releaseButton(int button = 1);
    // `keysym` and `modifiers` are keysym names: key("Escape"), key("F4", {"Alt_L"}).
    void key(const std::string& keysym, const std::vector<std::string>& modifiers = {});

    // The whole screen as PNG (creates missing directories). Throws on failure.
    void savePng(const std::string& path);

private:
    std::vector<std::string> atomListProperty(WindowId window, const char* property);
    void sync();

    int screenWidth_ = 0;
    int screenHeight_ = 0;
    std::string display_;
    std::string workDir_;
    ChildProcess server_;
    ChildProcess windowManager_;
    _XDisplay* connection_ = nullptr;
};

}  // namespace pelmora::testing
