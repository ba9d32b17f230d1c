#pragma once

#include <QComboBox>

namespace pelmora::ui {

// A fixed drop-down list: no typing, items kept in the given order, the list
// opening below the box, box and open list together 160 pixels tall, and
// each row one pixel taller than the default row.
class DropDownList : public QComboBox {
    Q_OBJECT
public:
    static constexpr int kHeightWithList = 160;

    explicit DropDownList(QWidget* parent = nullptr);

    int rowHeight() const;
    void showPopup() override;

signals:
    // Emitted just before the list opens, so item tooltips can be brought
    // up to date.
    void aboutToShowPopup();
};

}  // namespace pelmora::ui
