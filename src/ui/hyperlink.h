#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <functional>

#include "ui/colour.h"

namespace pelmora::ui {

// Text colours of a link, first that applies: pointer over it, last press
// opened the address, otherwise.
inline constexpr Colour kLinkHoverColour = 0xD77800u;
inline constexpr Colour kLinkVisitedColour = 0x000080u;
inline constexpr Colour kLinkNormalColour = 0xFF0000u;

// A web link that shows its address, centred on one line, and opens it when
// the left button is pressed on it. Painted by itself (not by the style), so
// an application style does not change it. Never takes the keyboard focus.
class HyperLinker : public QWidget {
    Q_OBJECT
public:
    // Opens an address; true when a program was started for it. Runs on the
    // GUI thread and blocks it for as long as it takes.
    using Opener = std::function<bool(const QString& address)>;

    explicit HyperLinker(QWidget* parent = nullptr);

    QString address() const { return address_; }
    void setAddress(const QString& address);
    // Replaces the desktop opener (openWebAddress), e.g. in tests.
    void setOpener(Opener opener);

    bool isHovered() const { return hovered_; }
    bool isVisited() const { return visited_; }
    // The colour the address is drawn in right now.
    QColor textColour() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QString address_;
    Opener opener_;
    bool hovered_ = false;
    bool visited_ = false;
};

}  // namespace pelmora::ui
