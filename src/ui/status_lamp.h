#pragma once

#include "ui/colour.h"

#include <QWidget>

namespace pelmora::ui {

// The port-state lamp: a circle with a one-pixel black ring, filled with the
// lamp colour or left empty for kNoColour.
class StatusLamp : public QWidget {
    Q_OBJECT
public:
    explicit StatusLamp(QWidget* parent = nullptr);

    Colour fillColour() const { return fillColour_; }
    void setFillColour(Colour colour);

signals:
    // Left button pressed on the lamp; the second press of a double click
    // does not count, so a double click toggles once.
    void pressed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    Colour fillColour_ = kNoColour;
};

}  // namespace pelmora::ui
