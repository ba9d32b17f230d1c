#pragma once

#include <QColor>
#include <QProxyStyle>

namespace pelmora::ui {

// The flat, XP-like look of push buttons, group boxes, edit boxes and
// drop-down lists. It changes drawing only: metrics, texts and behaviour stay
// those of the base style. Labels, the lamp and hyperlinks paint themselves
// and keep their plain look.
class XpStyle : public QProxyStyle {
    Q_OBJECT
public:
    struct Scheme {
        QColor editFrame;   // edit boxes, drop-down lists and their lists
        QColor groupFrame;  // rounded group box frame
        QColor buttonFrame;
        QColor buttonTop, buttonBottom;
        QColor hoverEdge;  // inner glow while the pointer is over a button
        QColor pressedTop, pressedBottom;
    };

    explicit XpStyle(int scheme);

    int scheme() const { return scheme_; }
    const Scheme& colours() const { return colours_; }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                         const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
    void polish(QWidget* widget) override;
    using QProxyStyle::polish;

private:
    void drawFlatFrame(QPainter* painter, const QRect& rect, const QColor& colour) const;
    void drawFocusRect(const QStyleOption& owner, const QRect& rect, QPainter* painter, const QWidget* widget) const;
    void drawButtonFace(QPainter* painter, const QRect& rect, QStyle::State state) const;

    int scheme_ = 1;
    Scheme colours_;
};

// Switches the XP-like look on for every window of the application, present
// and future (message boxes included). Only scheme 1 exists; other values
// fall back to it.
void enableXpStyle(int scheme);

}  // namespace pelmora::ui
