#pragma once

#include <QObject>

#include <cstdint>

namespace pelmora::ui {
class MainWindow;
}

namespace pelmora::app {

// The main window's event handlers: created, debug toggle, open/close toggle
// (button and lamp), send and About. Each runs on the GUI thread in answer to
// one control event and reads the controls at the moment it needs them.
class MainWindowHandlers : public QObject {
    Q_OBJECT
public:
    explicit MainWindowHandlers(ui::MainWindow& window);

    void onCreated();
    void toggleDebugPanel();

    bool debugPanelExpanded() const { return debugPanelExpanded_; }

private:
    ui::MainWindow& window_;
    // Collapsed until the debug button is pressed; never derived from the
    // window's actual height.
    bool debugPanelExpanded_ = false;
};

}  // namespace pelmora::app
