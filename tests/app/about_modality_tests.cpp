#include "handlers_test_support.h"

#include "ui/about_window.h"

#include <QTest>

namespace pelmora::app::testing {
namespace {

class AboutOverMainWindow : public WindowOnPty {
protected:
    void SetUp() override
    {
        WindowOnPty::SetUp();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
    }

    // Runs `whileOpen` once the About window is up, then closes it with Esc.
    void withAboutOpen(const std::function<void(ui::AboutWindow&)>& whileOpen)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            ASSERT_TRUE(
                QTest::qWaitFor([] { return qobject_cast<ui::AboutWindow*>(QApplication::activeModalWidget()); }));
            auto* about = qobject_cast<ui::AboutWindow*>(QApplication::activeModalWidget());
            whileOpen(*about);
            ran = true;
            QTest::keyClick(about, Qt::Key_Escape);
        });
        window->按钮_关于->click();
        ASSERT_TRUE(ran);
    }
};

TEST_F(AboutOverMainWindow, MainWindowTakesNoInputWhileOpen)
{
    openPort();
    window->编辑框_数据发送区->setPlainText(QStringLiteral("123"));
    withAboutOpen([&](ui::AboutWindow&) {
        const QPoint send = window->按钮_发送数据->mapTo(window.get(), window->按钮_发送数据->rect().center());
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, send);
        QTest::keyClick(window->windowHandle(), Qt::Key_Space);
        QTest::qWait(100);
    });
    EXPECT_EQ(pty.readMaster(), "") << "the send button must not be pressable";
}

TEST_F(AboutOverMainWindow, EscClosesOnlyTheAboutWindow)
{
    window->按钮_关于->setFocus();
    withAboutOpen([](ui::AboutWindow& about) { EXPECT_EQ(about.windowTitle(), QStringLiteral("关于")); });
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isEnabled());
    window->activateWindow();
    (void)QTest::qWaitFor([&] { return QApplication::focusWidget() == window->按钮_关于; });
    EXPECT_EQ(QApplication::focusWidget(), window->按钮_关于);

    // And the main window takes input again.
    openPort();
    window->编辑框_地址码->setText(QStringLiteral("1"));
    const QPoint send = window->按钮_发送数据->mapTo(window.get(), window->按钮_发送数据->rect().center());
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, send);
    EXPECT_EQ(pty.readMaster(9), "#P11HN$");
}

}  // namespace
}  // namespace pelmora::app::testing
