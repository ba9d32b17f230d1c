#include "app/startup.h"
#include "ui/main_window.h"

#include <pelmora/version.h>

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Sizes are device pixels on every screen: no toolkit scaling.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    if (!pelmora::app::displayAvailable()) {
        std::fputs("pelmora: no display (DISPLAY and WAYLAND_DISPLAY are unset); "
                   "the window needs an X11 or Wayland session\n",
                   stderr);
        return pelmora::app::kFatalExitCode;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pelmora"));
    QApplication::setApplicationVersion(QString::fromLatin1(pelmora::kVersion));
    QApplication::setOrganizationName(QStringLiteral("Pelmora"));
    QGuiApplication::setDesktopFileName(QStringLiteral("pelmora"));
    return pelmora::app::runApplication(app, [] { return std::make_unique<pelmora::ui::MainWindow>(); });
}
