#pragma once

#include "app/entry_rules.h"

#include <QLineEdit>
#include <QString>

#include <functional>
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

    // Names the field for its tooltip and for the reason given when a value is refused;
    // the label may carry a mnemonic '&' and a trailing colon.
    void setDescription(const QString& label, const QString& unit);
    [[nodiscard]] const QString& label() const { return label_; }
    [[nodiscard]] const QString& unit() const { return unit_; }
    // Why `typed` was refused: "Box volume must lie between 0.1 and 10000 l".
    [[nodiscard]] QString refusalText(const QString& typed) const;
    // Where refusal reasons go (the main window's status bar); empty: nowhere.
    static void setRefusalHook(std::function<void(const QString&)> hook);

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
    [[nodiscard]] virtual double lowest() const = 0;
    [[nodiscard]] virtual double highest() const = 0;
    [[nodiscard]] virtual bool wholeNumbers() const = 0;
    [[nodiscard]] virtual bool paired() const { return false; }
    [[nodiscard]] virtual std::string formatText() const = 0;

    // Call whenever the range or the format changes. A tooltip the owner set stays.
    void updateToolTip();

    // Rewrites the text from the value; this also clears the control's modified state.
    void showValue();

    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void postChanged();
    [[nodiscard]] bool refusesKey(const QString& typed) const;
    static void report(const QString& reason);
    [[nodiscard]] QString shownName() const;
    [[nodiscard]] QString rangeText() const;

    int fieldId_;
    QString label_;
    QString unit_;
    QString autoToolTip_;
};

} // namespace harlox
