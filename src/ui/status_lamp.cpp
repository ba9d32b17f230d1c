#include "ui/status_lamp.h"

#include <QMouseEvent>
#include <QPainter>

namespace pelmora::ui {

StatusLamp::StatusLamp(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void StatusLamp::setFillColour(Colour colour)
{
    fillColour_ = colour;
    repaint();
}

void StatusLamp::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = qMin(width(), height());
    const QRectF circle((width() - side) / 2.0 + 0.5, (height() - side) / 2.0 + 0.5, side - 1.0, side - 1.0);
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(fillColour_ == kNoColour ? QBrush(Qt::NoBrush) : QBrush(toQColor(fillColour_)));
    painter.drawEllipse(circle);
}

void StatusLamp::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit pressed();
}

void StatusLamp::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

}  // namespace pelmora::ui
