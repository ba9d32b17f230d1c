// The real program under a real window manager: outer size with the frame,
// centring, what the operator can do to the frame, the debug toggle by mouse,
// and the exit code of every way of closing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "support/x_session.h"

namespace pelmora::testing {
namespace {

constexpr const char* kTitle = "PelmoraV1.0";
// Time for the window manager to act on input that should change nothing.
constexpr auto kSettleTime = std::chrono::milliseconds(1500);
constexpr auto kExitTimeout = std::chrono::seconds(20);

// Client coordinates of the debug button's centre, from the layout.
constexpr int kDebugButtonX = 240 + 40;
constexpr int kDebugButtonY = 424 + 20;

bool has(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string describe(const Rect& r)
{
    return std::to_string(r.width) + "x" + std::to_string(r.height) + "+" + std::to_string(r.x) + "+"
           + std::to_string(r.y);
}

struct Running {
    ChildProcess process;
    WindowId window = 0;
};

Running launch(XSession& x)
{
    Running run{x.start(PELMORA_EXECUTABLE), 0};
    const auto window = x.waitForWindow(kTitle);
    if (window)
        run.window = *window;
    return run;
}

bool outerIs(XSession& x, WindowId window, const Rect& expected)
{
    return x.waitUntil([&] { return x.outerGeometry(window) == expected; }, kWindowWaitTimeout);
}

std::string artifact(const std::string& name)
{
    return std::string(PELMORA_ARTIFACT_DIR) + "/" + name;
}

TEST(MainWindowX11, FramedSizeCentringFrameActionsAndDebugToggle)
{
    XSession x(1280, 1024);
    Running app = launch(x);
    ASSERT_NE(app.window, 0u) << "the main window did not appear";

    const Rect collapsed{(1280 - 771) / 2, (1024 - 530) / 2, 771, 530};
    EXPECT_TRUE(outerIs(x, app.window, collapsed)) << "outer geometry " << describe(x.outerGeometry(app.window));
    const FrameExtents frame = x.frameExtents(app.window);
    const Rect client = x.clientGeometry(app.window);
    std::cout << "[ measured ] outer " << describe(x.outerGeometry(app.window)) << ", client " << describe(client)
              << ", frame left " << frame.left << " right " << frame.right << " top " << frame.top << " bottom "
              << frame.bottom << "\n";
    EXPECT_GT(frame.top, 0) << "a title bar";
    // A thin frame may leave the top of the debug frame in view, never its text box.
    EXPECT_LE(client.height, 520) << "the debug panel starts out of view";

    const auto actions = x.allowedActions(app.window);
    EXPECT_FALSE(has(actions, "_NET_WM_ACTION_MAXIMIZE_HORZ"));
    EXPECT_FALSE(has(actions, "_NET_WM_ACTION_MAXIMIZE_VERT"));
    EXPECT_FALSE(has(actions, "_NET_WM_ACTION_RESIZE"));
    EXPECT_TRUE(has(actions, "_NET_WM_ACTION_MINIMIZE"));
    EXPECT_TRUE(has(actions, "_NET_WM_ACTION_CLOSE"));
    EXPECT_TRUE(has(actions, "_NET_WM_ACTION_MOVE"));
    const auto state = x.windowState(app.window);
    EXPECT_FALSE(has(state, "_NET_WM_STATE_SKIP_TASKBAR"));
    EXPECT_FALSE(has(state, "_NET_WM_STATE_ABOVE"));
    EXPECT_TRUE(has(x.windowTypes(app.window), "_NET_WM_WINDOW_TYPE_NORMAL"));

    // A double click on the title bar would maximise a resizable window.
    x.doubleClick(collapsed.x + collapsed.width / 2, collapsed.y + frame.top / 2);
    std::this_thread::sleep_for(kSettleTime);
    EXPECT_EQ(x.outerGeometry(app.window), collapsed);
    EXPECT_FALSE(has(x.windowState(app.window), "_NET_WM_STATE_MAXIMIZED_VERT"));
    x.savePng(artifact("main-collapsed.png"));

    const Rect expanded{collapsed.x, collapsed.y, 771, 680};
    for (int click = 1; click <= 3; ++click) {
        const Rect now = x.clientGeometry(app.window);
        x.click(now.x + kDebugButtonX, now.y + kDebugButtonY);
        const Rect& expected = click % 2 == 1 ? expanded : collapsed;
        EXPECT_TRUE(outerIs(x, app.window, expected))
            << "after click " << click << ": outer geometry " << describe(x.outerGeometry(app.window));
        if (click == 1) {
            EXPECT_GE(x.clientGeometry(app.window).height, 640) << "the debug panel in view";
            x.savePng(artifact("main-expanded.png"));
        }
    }

    x.key("Escape");
    EXPECT_EQ(app.process.waitForExit(kExitTimeout), 0);
    EXPECT_TRUE(x.waitForWindowGone(kTitle));
}

TEST(MainWindowX11, CentredOnAnOddSizedScreen)
{
    XSession x(1025, 769);
    Running app = launch(x);
    ASSERT_NE(app.window, 0u);
    const Rect centred{(1025 - 771) / 2, (769 - 530) / 2, 771, 530};
    EXPECT_TRUE(outerIs(x, app.window, centred)) << "outer geometry " << describe(x.outerGeometry(app.window));
}

enum class Closing { Esc, EscWithListOpen, AltF4, CloseButton };

struct CloseCase {
    const char* meaning;
    Closing how;
};

class ClosingTheWindow : public ::testing::TestWithParam<CloseCase> {};

TEST_P(ClosingTheWindow, EndsTheProcessWithZero)
{
    XSession x(1280, 1024);
    Running app = launch(x);
    ASSERT_NE(app.window, 0u);
    const Rect outer = x.outerGeometry(app.window);
    const Rect client = x.clientGeometry(app.window);
    const FrameExtents frame = x.frameExtents(app.window);

    switch (GetParam().how) {
    case Closing::Esc:
        x.key("Escape");
        break;
    case Closing::EscWithListOpen: {
        // The port list: client 104,32, 100 x 23. Its popup grabs the keyboard.
        x.click(client.x + 104 + 50, client.y + 32 + 11);
        std::this_thread::sleep_for(kSettleTime);
        x.savePng(artifact("main-list-open.png"));
        x.key("Escape");
        break;
    }
    case Closing::AltF4:
        x.key("F4", {"Alt_L"});
        break;
    case Closing::CloseButton:
        // The rightmost title-bar button.
        x.click(outer.x + outer.width - frame.right - frame.top / 2, outer.y + frame.top / 2);
        break;
    }
    EXPECT_EQ(app.process.waitForExit(kExitTimeout), 0);
    EXPECT_TRUE(x.waitForWindowGone(kTitle));
}

INSTANTIATE_TEST_SUITE_P(EveryWay, ClosingTheWindow,
                         ::testing::Values(CloseCase{"esc", Closing::Esc},
                                           CloseCase{"esc_with_list_open", Closing::EscWithListOpen},
                                           CloseCase{"alt_f4", Closing::AltF4},
                                           CloseCase{"close_button", Closing::CloseButton}),
                         [](const ::testing::TestParamInfo<CloseCase>& row) { return std::string(row.param.meaning); });

// Shift+Esc is not the close key.
TEST(MainWindowX11, ShiftEscKeepsTheWindow)
{
    XSession x(1280, 1024);
    Running app = launch(x);
    ASSERT_NE(app.window, 0u);
    x.key("Escape", {"Shift_L"});
    std::this_thread::sleep_for(kSettleTime);
    EXPECT_TRUE(app.process.running());
    EXPECT_TRUE(x.isMapped(app.window));
}

// Without any display the program says why in one line instead of aborting.
TEST(MainWindowX11, NoDisplayEndsWithMinusOneAndAReason)
{
    std::filesystem::create_directories(PELMORA_ARTIFACT_DIR);
    const std::string output = artifact("no-display.log");
    ChildProcess app = startProcess(PELMORA_EXECUTABLE, {},
                                    {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}}, output);
    EXPECT_EQ(app.waitForExit(kExitTimeout), 255) << "exit code -1 as an 8-bit status";
    std::ifstream log(output);
    const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("no display"), std::string::npos) << text;
}

}  // namespace
}  // namespace pelmora::testing
