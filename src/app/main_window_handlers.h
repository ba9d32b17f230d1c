#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

namespace pelmora::link {
struct OpenFailure;
}

namespace pelmora::ui {
class MainWindow;
}

namespace pelmora::app {

inline const QString kOpenCaption = QStringLiteral("打开串口");
inline const QString kCloseCaption = QStringLiteral("关闭串口");

// The main window's event handlers: created, debug toggle, open/close toggle
// (button and lamp), send and About. Each runs on the GUI thread in answer to
// one control event and reads the controls at the moment it needs them.
class MainWindowHandlers : public QObject {
    Q_OBJECT
public:
    explicit MainWindowHandlers(ui::MainWindow& window);

    void onCreated();
    void toggleDebugPanel();
    // Opens or closes 端口1 by the button's caption; shows the failure box
    // when an open fails.
    void toggleSerialPort();
    // Writes the page command piece by piece; blocks until the last piece has
    // left the port (or failed).
    void sendPage();
    void showAbout();

    bool debugPanelExpanded() const { return debugPanelExpanded_; }

    // The second line of the open-failure box: device and reason, in Chinese.
    static QString describeOpenFailure(const link::OpenFailure& failure, int portNumber, int baudRate);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onDeviceLost();
    // Tooltips are resolved when shown, never ahead: each lookup scans the
    // system's serial devices.
    QString portTooltip(int portNumber) const;
    void updatePortTooltips();

    ui::MainWindow& window_;
    // Collapsed until the debug button is pressed; never derived from the
    // window's actual height.
    bool debugPanelExpanded_ = false;
};

}  // namespace pelmora::app
