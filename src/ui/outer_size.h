#pragma once

#include <QMargins>
#include <QObject>
#include <QSize>

class QWidget;

namespace pelmora::ui {

// Holds a fixed-size top-level window at an outer size, frame included.
// The window manager's frame is known only after the window is mapped (and
// may change with the theme), so the client size is corrected whenever the
// frame margins turn out different from what was assumed.
class OuterSizeKeeper : public QObject {
    Q_OBJECT
public:
    OuterSizeKeeper(QWidget* window, QSize outerSize);

    QSize outerSize() const { return outerSize_; }
    // Keeps the top-left corner of the frame where it is.
    void setOuterSize(QSize outerSize);
    // Places the frame centred on the whole primary screen, by outer size.
    void centreOnPrimaryScreen();

    static QPoint centredTopLeft(QSize screen, QSize outer);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMargins currentFrameMargins() const;
    void applySize();

    QWidget* window_ = nullptr;
    QSize outerSize_;
    QMargins appliedMargins_;
    // Centring waits for the frame: until the window manager has framed the
    // window, its outer size is not known.
    bool centreWhenFramed_ = false;
};

}  // namespace pelmora::ui
