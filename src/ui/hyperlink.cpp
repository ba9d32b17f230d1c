#include "ui/hyperlink.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include "ui/url_opener.h"

namespace pelmora::ui {

HyperLinker::HyperLinker(QWidget* parent) : QWidget(parent), opener_(openWebAddress)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void HyperLinker::setAddress(const QString& address)
{
    address_ = address;
    update();
}

void HyperLinker::setOpener(Opener opener)
{
    opener_ = std::move(opener);
}

QColor HyperLinker::textColour() const
{
    if (hovered_)
        return toQColor(kLinkHoverColour);
    return toQColor(visited_ ? kLinkVisitedColour : kLinkNormalColour);
}

QSize HyperLinker::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(address_), metrics.height()};
}

void HyperLinker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    QFont plain = font();
    plain.setUnderline(false);
    painter.setFont(plain);
    painter.setPen(textColour());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, address_);
}

void HyperLinker::enterEvent(QEnterEvent* event)
{
    hovered_ = true;
    update();
    QWidget::enterEvent(event);
}

void HyperLinker::leaveEvent(QEvent* event)
{
    hovered_ = false;
    update();
    QWidget::leaveEvent(event);
}

void HyperLinker::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    if (address_.isEmpty())
        return;
    // Only the latest press counts: a failed retry clears the visited look.
    visited_ = opener_ && opener_(address_);
    update();
}

}  // namespace pelmora::ui
