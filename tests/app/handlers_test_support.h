#pragma once

// A main window with its handlers bound, on Qt's offscreen platform, whose
// serial port numbers map to real pseudo-terminals.

#include "app/main_window_handlers.h"
#include "link/serial_port.h"
#include "serial_test_support.h"
#include "support/qt_application.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pelmora::app::testing {

inline QApplication& application()
{
    return pelmora::testing::qtApplication();
}

// What a modal message box showed, read while it was open.
struct ShownBox {
    QString title;
    QString text;
    QString informativeText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    Qt::WindowModality modality = Qt::NonModal;
    bool hasParent = false;
};

// Accepts every message box that opens while `action` runs and records it.
inline std::vector<ShownBox> runAcceptingBoxes(const std::function<void()>& action)
{
    std::vector<ShownBox> shown;
    QTimer watcher;
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown.push_back({box->windowTitle(), box->text(), box->informativeText(), box->icon(),
                             box->standardButtons(), box->windowModality(), box->parent() != nullptr});
            box->accept();
        }
    });
    watcher.start();
    action();
    watcher.stop();
    return shown;
}

class WindowOnPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        application();
        ASSERT_TRUE(pty.ok());
        window = std::make_unique<ui::MainWindow>();
        window->端口1->setPortNamer([this](int portNumber) -> std::optional<link::PortDevice> {
            requestedPorts.push_back(portNumber);
            if (portNumber == ptyPortNumber)
                return link::PortDevice{pty.slavePath, "pseudo-terminal"};
            return std::nullopt;
        });
        handlers = new MainWindowHandlers(*window);
        handlers->onCreated();
    }

    void TearDown() override
    {
        window.reset();
        QApplication::processEvents();
    }

    void openPort()
    {
        const auto boxes = runAcceptingBoxes([&] { window->按钮_打开串口->click(); });
        ASSERT_TRUE(boxes.empty()) << boxes.front().informativeText.toStdString();
        ASSERT_EQ(window->按钮_打开串口->text(), QStringLiteral("关闭串口"));
    }

    link::testing::PseudoTerminal pty;
    int ptyPortNumber = 1;
    std::vector<int> requestedPorts;
    std::unique_ptr<ui::MainWindow> window;
    MainWindowHandlers* handlers = nullptr;  // owned by the window
};

inline std::string hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 0xF];
    }
    return out;
}

}  // namespace pelmora::app::testing
