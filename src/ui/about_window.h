#pragma once

#include <QDialog>
#include <QSize>

#include "ui/hyperlink.h"

class QLabel;

namespace pelmora::ui {

inline constexpr QSize kAboutOuterSize{380, 250};  // frame and title bar included

// The About window: the author line and two links. Every opening builds a
// fresh one, so the links always start in their normal colour. Esc (without
// modifiers) and the close button close it; Enter, F1 and Tab do nothing.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    // `opener` opens the links' addresses; empty means openWebAddress.
    explicit AboutWindow(HyperLinker::Opener opener = {});

    // Children in drawing order, bottom first: the text lies under both links.
    QLabel* 标签1 = nullptr;
    HyperLinker* 超级链接框1 = nullptr;
    HyperLinker* 超级链接框2 = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// Builds a fresh About window, shows it centred on the primary screen and
// application-modal (every other window of the program refuses input), and
// blocks in a nested event loop until the operator closes it. No timeout.
// Returns QDialog::Rejected, the only way it ends.
int execAboutWindow(HyperLinker::Opener opener = {});

}  // namespace pelmora::ui
