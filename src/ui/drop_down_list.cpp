#include "ui/drop_down_list.h"

#include <QAbstractItemView>
#include <QListView>
#include <QScreen>
#include <QStyledItemDelegate>

namespace pelmora::ui {

namespace {

class TallerRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 1);
    }
};

}  // namespace

DropDownList::DropDownList(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    setInsertPolicy(QComboBox::NoInsert);
    setView(new QListView(this));
    setItemDelegate(new TallerRowDelegate(this));
    view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view()->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int DropDownList::rowHeight() const
{
    return count() > 0 ? view()->sizeHintForRow(0) : fontMetrics().height() + 1;
}

void DropDownList::showPopup()
{
    emit aboutToShowPopup();
    QComboBox::showPopup();
    // Styles may centre the list on the current item; this list always drops
    // below the box and takes at most what is left of the 160 pixels.
    QWidget* popup = view()->parentWidget();
    if (!popup)
        return;
    const int frame = popup->height() - view()->viewport()->height();
    const int listHeight = qMin(kHeightWithList - height(), count() * rowHeight() + frame);
    QPoint below = mapToGlobal(QPoint(0, height()));
    if (const QScreen* s = screen()) {
        const QRect avail = s->availableGeometry();
        if (below.y() + listHeight > avail.bottom() + 1)
            below.setY(mapToGlobal(QPoint(0, 0)).y() - listHeight);
    }
    popup->setGeometry(QRect(below, QSize(qMax(popup->width(), width()), listHeight)));
}

}  // namespace pelmora::ui
