#include "gui/entry_edit.h"

#include "gui/beep.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMetaObject>

namespace harlox {

TEntryEdit::TEntryEdit(QWidget* parent, int fieldId) : QLineEdit(parent), fieldId_(fieldId) {
    // Pasting, dragging or input methods change the text without a key press.
    connect(this, &QLineEdit::textEdited, this, [this] { markModified(); });
}

void TEntryEdit::showValue() {
    setText(QString::fromStdString(displayText()));
}

void TEntryEdit::postChanged() {
    QMetaObject::invokeMethod(
        this, [this] { emit changed(fieldId_); }, Qt::QueuedConnection);
}

bool TEntryEdit::refusesKey(const QString& typed) const {
    for (const QChar ch : typed) {
        const char16_t u = ch.unicode();
        if (u < 0x20 || u == 0x7f) continue; // control keys keep their editing function
        if (u > 0x7e || !allowedChar(static_cast<char>(u))) return true;
    }
    return false;
}

void TEntryEdit::focusInEvent(QFocusEvent* event) {
    // A context menu takes the focus only for a moment; the edit goes on afterwards.
    if (event->reason() != Qt::PopupFocusReason) gainFocus();
    QLineEdit::focusInEvent(event);
}

void TEntryEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason) return;
    const EntryCommit r = commitText(text().toStdString(), isModified());
    showValue();
    if (r.beep) warningBeep();
    if (r.notify) postChanged();
}

void TEntryEdit::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const EntryStep r = event->key() == Qt::Key_Up ? stepUp() : stepDown();
        if (!r.handled) {
            QLineEdit::keyPressEvent(event);
            return;
        }
        showValue();
        if (r.beep) warningBeep();
        if (r.notify) postChanged();
        event->accept();
        return;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // Dialog keys: the dialog acts on them, the field's text is not touched.
        QLineEdit::keyPressEvent(event);
        return;
    default:
        break;
    }
    if (refusesKey(event->text())) {
        event->accept();
        return;
    }
    if (!isReadOnly()) markModified();
    QLineEdit::keyPressEvent(event);
}

} // namespace harlox
