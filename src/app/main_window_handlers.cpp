#include "app/main_window_handlers.h"

#include "ui/main_window.h"
#include "ui/xp_style.h"

namespace pelmora::app {

namespace {
constexpr int kStyleScheme = 1;
}

MainWindowHandlers::MainWindowHandlers(ui::MainWindow& window) : QObject(&window), window_(window)
{
    connect(window_.按钮_调试, &QPushButton::clicked, this, &MainWindowHandlers::toggleDebugPanel);
}

void MainWindowHandlers::onCreated()
{
    ui::enableXpStyle(kStyleScheme);
    window_.编辑框3->setPlainText(QStringLiteral("请在源码内打开调试功能"));
}

void MainWindowHandlers::toggleDebugPanel()
{
    if (!debugPanelExpanded_) {
        window_.setOuterHeight(ui::kExpandedHeight);
        debugPanelExpanded_ = true;
    } else {
        window_.setOuterHeight(ui::kCollapsedHeight);
        debugPanelExpanded_ = false;
    }
}

}  // namespace pelmora::app
