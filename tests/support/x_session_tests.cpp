#include <gtest/gtest.h>

#include <filesystem>

#include "support/x_session.h"

namespace pelmora::testing {
namespace {

// xmessage asks for its frame's top-left corner (NorthWest gravity), so the
// outer geometry must start exactly there while the client sits inside the frame.
TEST(XSessionTest, FramedWindowGeometryInputAndExitCode)
{
    XSession x(800, 600);
    ChildProcess message = x.start("xmessage", {"-title", "fixture probe", "-geometry", "+100+80", "-buttons", "done:7",
                                                "-default", "done", "hello from the fixture"});
    const auto window = x.waitForWindow("fixture probe");
    ASSERT_TRUE(window) << "xmessage window did not appear on " << x.display();

    const Rect outer = x.outerGeometry(*window);
    const Rect client = x.clientGeometry(*window);
    const FrameExtents frame = x.frameExtents(*window);
    EXPECT_GT(frame.top, 0) << "openbox should give the window a title bar";
    EXPECT_EQ(outer.x, 100);
    EXPECT_EQ(outer.y, 80);
    EXPECT_EQ(client.x, outer.x + frame.left);
    EXPECT_EQ(client.y, outer.y + frame.top);
    EXPECT_EQ(outer.width, client.width + frame.left + frame.right);
    EXPECT_EQ(outer.height, client.height + frame.top + frame.bottom);
    EXPECT_FALSE(x.allowedActions(*window).empty());

    const std::string shot = std::string(PELMORA_ARTIFACT_DIR) + "/x_session_probe.png";
    x.savePng(shot);
    EXPECT_GT(std::filesystem::file_size(shot), 0u);

    x.key("Return");  // the default button ends xmessage with its code
    EXPECT_EQ(message.waitForExit(kWindowWaitTimeout), 7);
    EXPECT_TRUE(x.waitForWindowGone("fixture probe"));
}

TEST(XSessionTest, MissingProgramIsReportedNotHung)
{
    XSession x(640, 480);
    EXPECT_THROW(x.start("/nonexistent/pelmora-probe"), std::runtime_error);
    EXPECT_EQ(x.waitForWindow("never shown", std::chrono::milliseconds(200)), std::nullopt);
}

}  // namespace
}  // namespace pelmora::testing
