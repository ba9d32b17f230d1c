#include "app/startup.h"

#include "app/main_window_handlers.h"
#include "ui/main_window.h"

#include <pelmora/version.h>

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <QStyleFactory>

#include <cstdlib>
#include <exception>

// The resources live in a static library; make sure the linker keeps them.
static void initialiseResources()
{
    Q_INIT_RESOURCE(app);
}

namespace pelmora::app {

namespace {

void programInitialisation() {}
void programExit() {}

QString diagnosticBlock(const QString& detail)
{
    QString block = QStringLiteral("%1 %2, Qt %3, %4")
                        .arg(QString::fromLatin1(kProductName), QString::fromLatin1(kVersion),
                             QString::fromLatin1(qVersion()), QGuiApplication::platformName());
    if (!detail.isEmpty())
        block += QLatin1Char('\n') + detail;
    return block;
}

int fatalStartupError(const QString& message, const QString& detail)
{
    // Routines registered for a normal end are not run after a fatal error.
    qRemovePostRoutine(programExit);
    makeFatalErrorBox(message, diagnosticBlock(detail))->exec();
    return kFatalExitCode;
}

}  // namespace

bool displayAvailable()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

std::unique_ptr<QMessageBox> makeFatalErrorBox(const QString& message, const QString& diagnostics)
{
    const QString text = QStringLiteral("运行时出错!\n\n错误信息：%1\n\n%2").arg(message, diagnostics);
    auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, QStringLiteral("错误"), text, QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    return box;
}

int runApplication(QApplication& app, const MainWindowFactory& makeMainWindow)
{
    initialiseResources();
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QIcon icon(kIconResource);
    if (icon.isNull() || icon.availableSizes().isEmpty())
        return fatalStartupError(QStringLiteral("载入窗口模板数据段出错!"),
                                 QStringLiteral("missing resource %1").arg(kIconResource));
    QApplication::setWindowIcon(icon);

    programInitialisation();
    qAddPostRoutine(programExit);

    std::unique_ptr<ui::MainWindow> window;
    QString failure;
    try {
        window = makeMainWindow();
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    }
    if (!window)
        return fatalStartupError(QStringLiteral("载入启动窗口失败"), failure);

    MainWindowHandlers handlers(*window);
    handlers.onCreated();
    window->centreOnPrimaryScreen();
    window->show();

    // Closing the window ends the loop (last window closed); the window and
    // its serial port are destroyed before this function returns.
    return app.exec();
}

}  // namespace pelmora::app
