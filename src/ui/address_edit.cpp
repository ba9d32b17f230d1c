#include "ui/address_edit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

#include <limits>

namespace pelmora::ui {

AddressEdit::AddressEdit(QWidget* parent) : QLineEdit(parent)
{
    // The box has no length limit; QLineEdit would cut pasted text at 32767.
    setMaxLength(std::numeric_limits<int>::max());
}

bool AddressEdit::isTypeable(QChar c)
{
    return c.unicode() < 0x20 || c == u'-' || (c >= u'0' && c <= u'9');
}

void AddressEdit::keyPressEvent(QKeyEvent* event)
{
    // Shortcuts (Ctrl+V and friends) carry control characters or no text at
    // all, so only printable typing is held back here.
    const QString text = event->text();
    if (!text.isEmpty() && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
        for (QChar c : text) {
            if (!isTypeable(c)) {
                event->accept();
                return;
            }
        }
    }
    QLineEdit::keyPressEvent(event);
}

void AddressEdit::inputMethodEvent(QInputMethodEvent* event)
{
    // An input method commits text as if typed: filter it the same way.
    QString committed = event->commitString();
    committed.removeIf([](QChar c) { return !isTypeable(c); });
    if (committed == event->commitString()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(committed, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
}

}  // namespace pelmora::ui
