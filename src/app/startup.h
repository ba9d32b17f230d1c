#pragma once

#include <QString>

#include <functional>
#include <memory>

class QApplication;
class QMessageBox;

namespace pelmora::ui {
class MainWindow;
}

namespace pelmora::app {

inline constexpr int kFatalExitCode = -1;
inline const QString kIconResource = QStringLiteral(":/pelmora/pelmora.png");

using MainWindowFactory = std::function<std::unique_ptr<ui::MainWindow>()>;

// The life of the program after the toolkit is up: checks the resources the
// windows are built from, creates the main window, raises its created event,
// shows it centred and runs the event loop until the window is closed.
// Returns the process exit code: 0, or kFatalExitCode after a fatal start-up
// error box. The factory is replaceable so a failed creation can be tested.
int runApplication(QApplication& app, const MainWindowFactory& makeMainWindow);

// The fatal start-up error box: caption "错误", stop icon, one OK button.
std::unique_ptr<QMessageBox> makeFatalErrorBox(const QString& message, const QString& diagnostics);

// Without a display the toolkit would abort; say so in one line instead.
bool displayAvailable();

}  // namespace pelmora::app
