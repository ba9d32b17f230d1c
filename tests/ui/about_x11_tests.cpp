#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <thread>

#include "support/x_session.h"

namespace pelmora::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kWindowTimeout = 30s;
// Time for a click that should be refused to take effect if it wrongly did.
constexpr auto kBlockedClickPause = 500ms;

// Odd screen sizes show whether the centring drops the fraction.
constexpr int kScreenWidth = 1281;
constexpr int kScreenHeight = 1025;

std::string describe(const Rect& rect)
{
    std::ostringstream text;
    text << rect.x << "," << rect.y << " " << rect.width << "x" << rect.height;
    return text.str();
}

bool contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The probe's owner window opens the About window from a button, as the main
// window does, and exits with the number of About windows it opened.
TEST(AboutWindowX11Test, FramedSizePlacementHintsAndModality)
{
    XSession x(kScreenWidth, kScreenHeight);
    ChildProcess probe = x.start(PELMORA_ABOUT_PROBE);
    const auto owner = x.waitForWindow("about probe owner", kWindowTimeout);
    ASSERT_TRUE(owner) << "the probe's owner window did not appear";
    ASSERT_TRUE(x.waitUntil([&] { return x.activeWindow() == owner; }, kWindowTimeout))
        << "active window " << x.activeWindow().value_or(0) << ", owner " << *owner;
    const Rect ownerClient = x.clientGeometry(*owner);
    const int buttonX = ownerClient.x + 150;  // the button spans 100..200 x 40..80
    const int buttonY = ownerClient.y + 60;
    x.click(buttonX, buttonY);

    const auto about = x.waitForWindow("关于", kWindowTimeout);
    ASSERT_TRUE(about) << "the About window did not appear";
    // Keys go to the focused window: only an active About window can take Esc.
    ASSERT_TRUE(x.waitUntil([&] { return x.activeWindow() == about; }, kWindowTimeout))
        << "the About window was not activated";

    const Rect expected{(kScreenWidth - 380) / 2, (kScreenHeight - 250) / 2, 380, 250};
    const bool placed = x.waitUntil([&] { return x.outerGeometry(*about) == expected; }, 10s);
    EXPECT_TRUE(placed) << "outer geometry " << describe(x.outerGeometry(*about)) << ", expected " << describe(expected)
                        << " (frame " << x.frameExtents(*about).left << "/" << x.frameExtents(*about).right << "/"
                        << x.frameExtents(*about).top << "/" << x.frameExtents(*about).bottom << ")";
    EXPECT_GT(x.frameExtents(*about).top, 0) << "the window manager should frame the window";

    const auto actions = x.allowedActions(*about);
    EXPECT_FALSE(contains(actions, "_NET_WM_ACTION_MAXIMIZE_HORZ"));
    EXPECT_FALSE(contains(actions, "_NET_WM_ACTION_MAXIMIZE_VERT"));
    EXPECT_FALSE(contains(actions, "_NET_WM_ACTION_RESIZE"));
    EXPECT_TRUE(contains(actions, "_NET_WM_ACTION_CLOSE"));

    // No taskbar entry: owned by an invisible window of the program (not the
    // owner window, whose taskbar entry would otherwise be shared), or marked
    // to be skipped.
    const auto transientOwner = x.transientFor(*about);
    const bool skipped = contains(x.windowState(*about), "_NET_WM_STATE_SKIP_TASKBAR");
    EXPECT_TRUE(skipped || (transientOwner && *transientOwner != *owner && !x.isMapped(*transientOwner)))
        << "transient for " << (transientOwner ? std::to_string(*transientOwner) : "nothing");

    x.savePng(std::string(PELMORA_ARTIFACT_DIR) + "/about_window.png");

    // The owner refuses the click while the About window is open: a second
    // opening would show in the exit code.
    x.click(buttonX, buttonY);
    std::this_thread::sleep_for(kBlockedClickPause);
    EXPECT_EQ(x.activeWindow(), about) << "a click on the owner must not take the activation";
    x.key("Escape");
    EXPECT_TRUE(x.waitForWindowGone("关于", kWindowTimeout));
    ASSERT_TRUE(x.isMapped(*owner));
    EXPECT_TRUE(x.waitUntil([&] { return x.activeWindow() == owner; }, kWindowTimeout))
        << "the owner window did not become active again";

    x.key("F4", {"Alt_L"});
    const auto exitCode = probe.waitForExit(kWindowTimeout);
    if (exitCode != 1)
        x.savePng(std::string(PELMORA_ARTIFACT_DIR) + "/about_window_failed_exit.png");
    EXPECT_EQ(exitCode, 1);
}

}  // namespace
}  // namespace pelmora::testing
