#pragma once

#include "app/entry_rules.h"
#include "gui/entry_edit.h"

#include <string_view>

namespace harlox {

// Real-number entry field of a dialog; in paired mode it shows "value;second" with the
// second number a quality factor in [0.1, 9.9].
class TDblEdit : public TEntryEdit {
    Q_OBJECT

public:
    TDblEdit(QWidget* parent, int fieldId, std::string_view format, double minimum, double maximum,
             double undefinedValue, double initial, bool paired = false);

    [[nodiscard]] double value() const { return entry_.value(); }
    [[nodiscard]] double secondValue() const { return entry_.secondValue(); }
    // Store and show; no notification.
    void setValue(double v);
    void setSecondValue(double q);
    // The text is not rewritten.
    void setMinimum(double v) {
        entry_.setMinimum(v);
        updateToolTip();
    }
    void setMaximum(double v) {
        entry_.setMaximum(v);
        updateToolTip();
    }
    // Paired mode appends ";%2.1f". The text is rewritten in the new format.
    void setFormat(std::string_view format);
    // Sets the control's read-only state too; a read-only field ignores the arrow keys.
    void setReadOnly(bool on);
    [[nodiscard]] const DblEntry& entry() const { return entry_; }

protected:
    [[nodiscard]] bool allowedChar(char c) const override { return entry_.isAllowedChar(c); }
    void gainFocus() override { entry_.focusGained(); }
    void markModified() override { entry_.markModified(); }
    EntryCommit commitText(std::string_view text, bool userModified) override {
        return entry_.commit(text, userModified);
    }
    EntryStep stepUp() override { return entry_.keyUp(); }
    EntryStep stepDown() override { return entry_.keyDown(); }
    [[nodiscard]] std::string displayText() const override { return entry_.text(); }
    [[nodiscard]] double lowest() const override { return entry_.minimum(); }
    [[nodiscard]] double highest() const override { return entry_.maximum(); }
    [[nodiscard]] bool wholeNumbers() const override { return false; }
    [[nodiscard]] bool paired() const override { return entry_.paired(); }
    [[nodiscard]] std::string formatText() const override { return entry_.format(); }

private:
    DblEntry entry_;
};

} // namespace harlox
