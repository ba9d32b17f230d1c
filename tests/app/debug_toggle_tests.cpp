// The debug button grows and shrinks the window at its bottom edge, driven by
// its own flag and never by the height the window happens to have.
#include <gtest/gtest.h>

#include "support/qt_application.h"

#include <QApplication>
#include <QtTest/QTest>

#include <memory>

#include "app/main_window_handlers.h"
#include "ui/main_window.h"

namespace pelmora::app {
namespace {

QApplication& application()
{
    return pelmora::testing::qtApplication();
}

class DebugToggle : public ::testing::Test {
protected:
    void SetUp() override
    {
        application();
        window = std::make_unique<ui::MainWindow>();
        handlers = new MainWindowHandlers(*window);  // owned by the window
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->move(40, 60);
        QApplication::processEvents();
        topLeft = window->frameGeometry().topLeft();
    }

    void clickDebugButton()
    {
        QTest::mouseClick(window->按钮_调试, Qt::LeftButton);
        QApplication::processEvents();
    }

    int outerHeight() const
    {
        EXPECT_EQ(window->frameGeometry().topLeft(), topLeft) << "the top-left corner moved";
        EXPECT_EQ(window->frameGeometry().width(), 771);
        return window->frameGeometry().height();
    }

    std::unique_ptr<ui::MainWindow> window;
    MainWindowHandlers* handlers = nullptr;
    QPoint topLeft;
};

TEST_F(DebugToggle, OddClicksExpandEvenClicksCollapse)
{
    EXPECT_EQ(outerHeight(), 530);
    EXPECT_FALSE(handlers->debugPanelExpanded());
    for (int click = 1; click <= 5; ++click) {
        clickDebugButton();
        const bool odd = click % 2 == 1;
        EXPECT_EQ(outerHeight(), odd ? 680 : 530) << "after click " << click;
        EXPECT_EQ(handlers->debugPanelExpanded(), odd);
    }
}

TEST_F(DebugToggle, ExpandedWindowShowsTheWholeDebugPanel)
{
    clickDebugButton();
    const QRect client = window->rect();
    const QRect panel(window->分组框_调试信息->mapTo(window.get(), QPoint(0, 0)), window->分组框_调试信息->size());
    EXPECT_TRUE(client.contains(panel)) << "panel bottom " << panel.bottom() << ", client bottom " << client.bottom();
    EXPECT_TRUE(window->编辑框3->isVisible());
}

TEST_F(DebugToggle, FollowsTheFlagNotTheCurrentHeight)
{
    // Collapsed by the flag, but already tall: the click still expands.
    window->setOuterHeight(680);
    QApplication::processEvents();
    clickDebugButton();
    EXPECT_EQ(outerHeight(), 680);
    EXPECT_TRUE(handlers->debugPanelExpanded());

    // Expanded by the flag, but short: the click still collapses.
    window->setOuterHeight(530);
    QApplication::processEvents();
    clickDebugButton();
    EXPECT_EQ(outerHeight(), 530);
    EXPECT_FALSE(handlers->debugPanelExpanded());

    window->setOuterHeight(600);
    QApplication::processEvents();
    clickDebugButton();
    EXPECT_EQ(outerHeight(), 680);
}

}  // namespace
}  // namespace pelmora::app
