#pragma once

#include <QLineEdit>

namespace pelmora::ui {

// The address code box. Typed characters from 0x20 up are dropped unless
// they are "0"-"9" or "-"; control characters (Backspace, Ctrl+C/X/V) pass.
// This is a typing filter, not a validator: pasted text is taken as it is.
class AddressEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit AddressEdit(QWidget* parent = nullptr);

    static bool isTypeable(QChar c);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
};

}  // namespace pelmora::ui
