#include "ui/xp_style.h"

#include "ui/colour.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOption>

namespace pelmora::ui {

namespace {

XpStyle::Scheme schemeColours(int)
{
    XpStyle::Scheme s;
    s.editFrame = toQColor(0x00BD9E7Bu);
    s.groupFrame = toQColor(0x00BFB8BFu);
    s.buttonFrame = QColor(0, 60, 116);
    s.buttonTop = QColor(255, 255, 255);
    s.buttonBottom = QColor(214, 208, 197);
    s.hoverEdge = QColor(248, 179, 48);
    s.pressedTop = QColor(209, 204, 193);
    s.pressedBottom = QColor(239, 237, 229);
    return s;
}

bool isInsideComboPopup(const QWidget* widget)
{
    for (const QWidget* w = widget ? widget->parentWidget() : nullptr; w; w = w->parentWidget())
        if (qobject_cast<const QComboBox*>(w))
            return true;
    return false;
}

}  // namespace

XpStyle::XpStyle(int scheme)
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))), scheme_(scheme), colours_(schemeColours(scheme))
{
}

void XpStyle::drawFlatFrame(QPainter* painter, const QRect& rect, const QColor& colour) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(colour);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

void XpStyle::drawFocusRect(const QStyleOption& owner, const QRect& rect, QPainter* painter,
                            const QWidget* widget) const
{
    QStyleOptionFocusRect focus;
    focus.QStyleOption::operator=(owner);
    focus.rect = rect;
    drawPrimitive(PE_FrameFocusRect, &focus, painter, widget);
}

void XpStyle::drawButtonFace(QPainter* painter, const QRect& rect, QStyle::State state) const
{
    const bool pressed = state & (State_Sunken | State_On);
    const bool hovered = (state & State_MouseOver) && (state & State_Enabled);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    const QRectF r = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient gradient(r.topLeft(), r.bottomLeft());
    gradient.setColorAt(0.0, pressed ? colours_.pressedTop : colours_.buttonTop);
    gradient.setColorAt(1.0, pressed ? colours_.pressedBottom : colours_.buttonBottom);
    QPainterPath outline;
    outline.addRoundedRect(r, 3, 3);
    painter->fillPath(outline, gradient);
    if (hovered && !pressed) {
        painter->setPen(QPen(colours_.hoverEdge, 2));
        painter->drawRoundedRect(r.adjusted(1.5, 1.5, -1.5, -1.5), 2, 2);
    }
    painter->setPen(QPen(state & State_Enabled ? colours_.buttonFrame : colours_.groupFrame, 1));
    painter->drawPath(outline);
    painter->restore();
}

void XpStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                            const QWidget* widget) const
{
    switch (element) {
    case PE_PanelLineEdit:
        painter->fillRect(option->rect, option->palette.base());
        drawFlatFrame(painter, option->rect, colours_.editFrame);
        return;
    case PE_FrameLineEdit:
        drawFlatFrame(painter, option->rect, colours_.editFrame);
        return;
    case PE_FrameFocusRect: {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(QPen(option->palette.windowText().color(), 1, Qt::DotLine));
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        painter->restore();
        return;
    }
    case PE_PanelButtonCommand:
        drawButtonFace(painter, option->rect, option->state);
        return;
    case PE_FrameGroupBox: {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setPen(QPen(colours_.groupFrame, 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        painter->restore();
        return;
    }
    default:
        break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void XpStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                          const QWidget* widget) const
{
    switch (element) {
    case CE_ShapedFrame:
        // Multi-line edit boxes and the open list of a drop-down list.
        if (qobject_cast<const QAbstractScrollArea*>(widget) || isInsideComboPopup(widget)
            || qobject_cast<const QComboBox*>(widget ? widget->parentWidget() : nullptr)) {
            drawFlatFrame(painter, option->rect, colours_.editFrame);
            return;
        }
        break;
    case CE_PushButtonBevel:
        drawButtonFace(painter, option->rect, option->state);
        return;
    case CE_PushButton: {
        drawControl(CE_PushButtonBevel, option, painter, widget);
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option)) {
            QStyleOptionButton label = *button;
            label.rect = subElementRect(SE_PushButtonContents, button, widget);
            drawControl(CE_PushButtonLabel, &label, painter, widget);
            if (button->state & State_HasFocus) {
                drawFocusRect(*button, button->rect.adjusted(4, 4, -4, -4), painter, widget);
            }
        }
        return;
    }
    default:
        break;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void XpStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                 const QWidget* widget) const
{
    if (control == CC_ComboBox) {
        if (const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option)) {
            painter->fillRect(combo->rect, combo->palette.base());
            const QRect arrowArea = subControlRect(CC_ComboBox, combo, SC_ComboBoxArrow, widget)
                                        .intersected(combo->rect.adjusted(1, 1, -1, -1));
            QStyle::State arrowState = combo->state & State_Enabled;
            if (combo->activeSubControls & SC_ComboBoxArrow) {
                arrowState |= combo->state & State_MouseOver;
                arrowState |= combo->state & State_Sunken;
            } else if (combo->state & State_MouseOver) {
                arrowState |= State_MouseOver;
            }
            if (combo->state & State_On)
                arrowState |= State_Sunken;
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing, true);
            const QRectF a = QRectF(arrowArea).adjusted(0.5, 0.5, -0.5, -0.5);
            QLinearGradient gradient(a.topLeft(), a.bottomLeft());
            const bool pressed = arrowState & State_Sunken;
            const bool hovered = arrowState & State_MouseOver;
            gradient.setColorAt(0.0, pressed   ? QColor(110, 142, 241)
                                     : hovered ? QColor(211, 224, 255)
                                               : QColor(193, 211, 251));
            gradient.setColorAt(1.0, pressed   ? QColor(180, 200, 250)
                                     : hovered ? QColor(170, 198, 255)
                                               : QColor(160, 184, 238));
            painter->setPen(Qt::NoPen);
            painter->setBrush(gradient);
            painter->drawRoundedRect(a, 2, 2);
            // The arrow glyph.
            const QPointF c = a.center();
            QPolygonF arrow;
            arrow << QPointF(c.x() - 3.5, c.y() - 1.5) << QPointF(c.x() + 3.5, c.y() - 1.5)
                  << QPointF(c.x(), c.y() + 2.5);
            painter->setBrush(QColor(77, 97, 133));
            painter->drawPolygon(arrow);
            painter->restore();
            drawFlatFrame(painter, combo->rect, colours_.editFrame);
            if (combo->state & State_HasFocus) {
                drawFocusRect(*combo,
                              subControlRect(CC_ComboBox, combo, SC_ComboBoxEditField, widget).adjusted(1, 1, -1, -1),
                              painter, widget);
            }
            return;
        }
    }
    if (control == CC_GroupBox) {
        if (const auto* group = qstyleoption_cast<const QStyleOptionGroupBox*>(option)) {
            const QRect label = subControlRect(CC_GroupBox, group, SC_GroupBoxLabel, widget);
            const QRect frame = subControlRect(CC_GroupBox, group, SC_GroupBoxFrame, widget);
            painter->save();
            // The frame is broken where the caption stands.
            QRegion clip(group->rect);
            if (!group->text.isEmpty())
                clip -= QRegion(label.adjusted(-2, 0, 1, 0));
            painter->setClipRegion(clip);
            QStyleOptionFrame frameOption;
            frameOption.QStyleOption::operator=(*group);
            frameOption.rect = frame;
            drawPrimitive(PE_FrameGroupBox, &frameOption, painter, widget);
            painter->restore();
            if (!group->text.isEmpty()) {
                painter->save();
                painter->setPen(group->palette.windowText().color());
                painter->drawText(label.adjusted(1, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                                  group->text);
                painter->restore();
            }
            return;
        }
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

QRect XpStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                              const QWidget* widget) const
{
    // Group box caption on the frame's top edge, a little in from the left,
    // as the classic look has it.
    if (control == CC_GroupBox) {
        if (const auto* group = qstyleoption_cast<const QStyleOptionGroupBox*>(option)) {
            const QFontMetrics& fm = group->fontMetrics;
            constexpr int kCaptionIndent = 8;
            const QRect label(kCaptionIndent, 0, fm.horizontalAdvance(group->text) + 2, fm.height());
            const QRect frame = group->rect.adjusted(0, fm.height() / 2, 0, 0);
            switch (subControl) {
            case SC_GroupBoxLabel:
                return label;
            case SC_GroupBoxFrame:
                return frame;
            case SC_GroupBoxContents:
                return frame.adjusted(1, fm.height() / 2, -1, -1);
            default:
                break;
            }
        }
    }
    return QProxyStyle::subControlRect(control, option, subControl, widget);
}

int XpStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                       QStyleHintReturn* returnData) const
{
    switch (hint) {
    case SH_ComboBox_Popup:
        return 0;  // the list drops below the box, never over the current item
    default:
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
}

void XpStyle::polish(QWidget* widget)
{
    QProxyStyle::polish(widget);
    if (qobject_cast<QPushButton*>(widget) || qobject_cast<QComboBox*>(widget))
        widget->setAttribute(Qt::WA_Hover, true);
}

void enableXpStyle(int scheme)
{
    QApplication::setStyle(new XpStyle(scheme));
}

}  // namespace pelmora::ui
