#include "ui/outer_size.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace pelmora::ui {

OuterSizeKeeper::OuterSizeKeeper(QWidget* window, QSize outerSize)
    : QObject(window), window_(window), outerSize_(outerSize)
{
    window_->installEventFilter(this);
    applySize();
}

QPoint OuterSizeKeeper::centredTopLeft(QSize screen, QSize outer)
{
    // Integer division, fraction dropped, also for a screen smaller than the window.
    return {(screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2};
}

void OuterSizeKeeper::setOuterSize(QSize outerSize)
{
    outerSize_ = outerSize;
    applySize();
}

void OuterSizeKeeper::centreOnPrimaryScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    centreWhenFramed_ = currentFrameMargins().isNull();
    const QPoint topLeft = screen->geometry().topLeft() + centredTopLeft(screen->geometry().size(), outerSize_);
    // For a top-level window, move() places the frame's corner.
    window_->move(topLeft);
}

QMargins OuterSizeKeeper::currentFrameMargins() const
{
    const QWindow* handle = window_->windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

void OuterSizeKeeper::applySize()
{
    appliedMargins_ = currentFrameMargins();
    const QSize client(outerSize_.width() - appliedMargins_.left() - appliedMargins_.right(),
                       outerSize_.height() - appliedMargins_.top() - appliedMargins_.bottom());
    window_->setFixedSize(client);
}

bool OuterSizeKeeper::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowStateChange:
        case QEvent::ActivationChange:
        case QEvent::PlatformSurface:
            if (currentFrameMargins() != appliedMargins_) {
                const QPoint frameTopLeft = window_->frameGeometry().topLeft();
                applySize();
                if (centreWhenFramed_) {
                    centreOnPrimaryScreen();
                } else if (window_->frameGeometry().topLeft() != frameTopLeft) {
                    // The frame corner stays put when the client size is corrected.
                    window_->move(frameTopLeft);
                }
            }
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace pelmora::ui
