#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

namespace pelmora::ui {

// Creates a control of a window layout: its object name is the layout name
// (tests and handlers find controls by it) and its place is fixed.
template <typename Control>
Control* placeNamedControl(QWidget* parent, const char16_t* name, QRect place)
{
    auto* control = new Control(parent);
    control->setObjectName(QString::fromUtf16(name));
    control->setGeometry(place);
    return control;
}

}  // namespace pelmora::ui
