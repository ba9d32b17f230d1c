// The program's life through runApplication: a failed main window ends in
// the "错误" box and -1; a normal run shows the styled window centred and
// ends with 0 when Esc closes it.
#include <gtest/gtest.h>

#include "support/qt_application.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest/QTest>

#include <functional>
#include <memory>
#include <stdexcept>

#include "app/startup.h"
#include "ui/main_window.h"
#include "ui/xp_style.h"

namespace pelmora::app {
namespace {

using namespace std::chrono_literals;

constexpr auto kPollInterval = 20ms;
constexpr auto kGiveUpAfter = 20s;  // ends a loop that a broken test would leave running

QApplication& application()
{
    return pelmora::testing::qtApplication();
}

// Runs `step` once `ready` holds, polling from the event loop, so a test can
// act inside a modal box or the running application. Gives up by quitting.
void whenReady(const std::function<bool()>& ready, const std::function<void()>& step,
               std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::now() + kGiveUpAfter)
{
    QTimer::singleShot(kPollInterval, qApp, [=] {
        if (ready()) {
            step();
        } else if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "gave up waiting";
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
            QApplication::closeAllWindows();
            QApplication::exit(99);
        } else {
            whenReady(ready, step, deadline);
        }
    });
}

struct ErrorBoxSeen {
    bool shown = false;
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool hasOwner = true;
};

struct FailingFactory {
    const char* meaning;
    MainWindowFactory factory;
    const char* detail;  // expected in the diagnostics, if anything
};

class StartupFailure : public ::testing::TestWithParam<FailingFactory> {};

TEST_P(StartupFailure, ShowsTheErrorBoxAndReturnsMinusOne)
{
    application();
    ErrorBoxSeen seen;
    whenReady([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
              [&seen] {
                  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                  seen.shown = box->isVisible();
                  seen.caption = box->windowTitle();
                  seen.text = box->text();
                  seen.icon = box->icon();
                  seen.buttons = box->standardButtons();
                  seen.hasOwner = box->parentWidget() != nullptr;
                  box->button(QMessageBox::Ok)->click();
              });

    EXPECT_EQ(runApplication(application(), GetParam().factory), -1);

    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.caption, QStringLiteral("错误"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok);
    EXPECT_FALSE(seen.hasOwner);
    const QStringList lines = seen.text.split(u'\n');
    ASSERT_GE(lines.size(), 5) << seen.text.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("运行时出错!"));
    EXPECT_EQ(lines[1], QString());
    EXPECT_EQ(lines[2], QStringLiteral("错误信息：载入启动窗口失败"));
    EXPECT_EQ(lines[3], QString());
    EXPECT_FALSE(lines[4].trimmed().isEmpty()) << "diagnostics follow the empty line";
    EXPECT_TRUE(seen.text.contains(QString::fromUtf8(GetParam().detail))) << seen.text.toStdString();
    EXPECT_EQ(QApplication::topLevelWidgets().size(), 0) << "nothing is left on the screen";
}

INSTANTIATE_TEST_SUITE_P(
    Factories, StartupFailure,
    ::testing::Values(FailingFactory{"throws",
                                     []() -> std::unique_ptr<ui::MainWindow> {
                                         throw std::runtime_error("no window handle");
                                     },
                                     "no window handle"},
                      FailingFactory{"returns_null", []() -> std::unique_ptr<ui::MainWindow> { return nullptr; }, ""}),
    [](const ::testing::TestParamInfo<FailingFactory>& row) { return std::string(row.param.meaning); });

TEST(FatalErrorBox, TextLineByLine)
{
    application();
    const auto box = makeFatalErrorBox(QStringLiteral("载入窗口模板数据段出错!"), QStringLiteral("details here"));
    EXPECT_EQ(box->text(), QStringLiteral("运行时出错!\n\n错误信息：载入窗口模板数据段出错!\n\ndetails here"));
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("错误"));
}

// What the operator would see the moment the window first appears.
class FirstShowProbe : public QObject {
public:
    bool shown = false;
    bool styledWhenShown = false;
    QString debugTextWhenShown;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !shown) {
            shown = true;
            const auto* style = qobject_cast<const ui::XpStyle*>(QApplication::style());
            styledWhenShown = style && style->scheme() == 1;
            debugTextWhenShown = static_cast<ui::MainWindow*>(watched)->编辑框3->toPlainText();
        }
        return false;
    }
};

TEST(Startup, ShowsTheStyledWindowCentredAndEscEndsWithZero)
{
    application();
    FirstShowProbe probe;
    QPointer<ui::MainWindow> window;
    QPointer<QPushButton> debugButton;
    auto factory = [&]() {
        auto created = std::make_unique<ui::MainWindow>();
        window = created.get();
        debugButton = created->按钮_调试;
        created->installEventFilter(&probe);
        return created;
    };

    bool checked = false;
    whenReady([&] { return window && window->isVisible() && QApplication::focusWidget(); },
              [&] {
                  checked = true;
                  const QRect screen = QGuiApplication::primaryScreen()->geometry();
                  EXPECT_EQ(window->frameGeometry(), QRect(screen.x() + (screen.width() - 771) / 2,
                                                           screen.y() + (screen.height() - 530) / 2, 771, 530));
                  EXPECT_EQ(QApplication::focusWidget(), window->编辑框_数据发送区);
                  EXPECT_EQ(window->编辑框3->toPlainText(), QStringLiteral("请在源码内打开调试功能"));

                  // A message box made later, like the port failure box, gets the look too.
                  QMessageBox later(QMessageBox::Information, QStringLiteral("信息："),
                                    QStringLiteral("串口打开失败！"));
                  EXPECT_NE(qobject_cast<ui::XpStyle*>(later.style()), nullptr);
                  EXPECT_NE(qobject_cast<ui::XpStyle*>(later.addButton(QMessageBox::Ok)->style()), nullptr);

                  QTest::keyClick(window->编辑框_数据发送区, Qt::Key_Escape);
              });

    EXPECT_EQ(runApplication(application(), factory), 0);
    EXPECT_TRUE(checked);
    EXPECT_TRUE(probe.shown);
    EXPECT_TRUE(probe.styledWhenShown) << "the window appeared before the XP-like style was on";
    EXPECT_EQ(probe.debugTextWhenShown, QStringLiteral("请在源码内打开调试功能"));
    EXPECT_TRUE(window.isNull()) << "closing destroys the window";
    EXPECT_TRUE(debugButton.isNull()) << "closing destroys the controls";

    const auto* style = qobject_cast<const ui::XpStyle*>(QApplication::style());
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(style->scheme(), 1);
}

}  // namespace
}  // namespace pelmora::app
