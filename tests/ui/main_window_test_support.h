// Shared by the offscreen main window tests: one QApplication per program and
// a fixture that shows a fresh, active main window in the XP-like look the
// operator sees.
#pragma once

#include <gtest/gtest.h>

#include "support/qt_application.h"

#include <QApplication>
#include <QtTest/QTest>

#include <memory>

#include "ui/main_window.h"
#include "ui/xp_style.h"

namespace pelmora::ui::testing {

inline QApplication& application()
{
    static QApplication* app = [] {
        auto* created = &pelmora::testing::qtApplication();
        // Closing a window under test must not end a nested wait.
        QApplication::setQuitOnLastWindowClosed(false);
        enableXpStyle(1);
        return created;
    }();
    return *app;
}

class ShownMainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        application();
        window = std::make_unique<MainWindow>();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    void TearDown() override
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        window.reset();
    }

    // Gives `control` the focus the way the operator would reach it.
    void focus(QWidget* control)
    {
        control->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), control);
    }

    std::unique_ptr<MainWindow> window;
};

}  // namespace pelmora::ui::testing
