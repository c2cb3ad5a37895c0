#pragma once

#include "app/entry_rules.h"

#include <QLineEdit>

#include <string>
#include <string_view>

namespace harlox {

// The event handling shared by TLongEdit and TDblEdit: the character filter on typing,
// reading the text when the focus leaves, the arrow keys, and the change notification,
// which is queued so the owner sees it after the key or focus event.
class TEntryEdit : public QLineEdit {
    Q_OBJECT

public:
    [[nodiscard]] int fieldId() const { return fieldId_; }

signals:
    // Queued; never emitted for values set by the program.
    void changed(int fieldId);

protected:
    TEntryEdit(QWidget* parent, int fieldId);

    [[nodiscard]] virtual bool allowedChar(char c) const = 0;
    virtual void gainFocus() = 0;
    virtual void markModified() = 0;
    virtual EntryCommit commitText(std::string_view text, bool userModified) = 0;
    virtual EntryStep stepUp() = 0;
    virtual EntryStep stepDown() = 0;
    [[nodiscard]] virtual std::string displayText() const = 0;

    // Rewrites the text from the value; this also clears the control's modified state.
    void showValue();

    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void postChanged();
    [[nodiscard]] bool refusesKey(const QString& typed) const;

    int fieldId_;
};

} // namespace harlox
