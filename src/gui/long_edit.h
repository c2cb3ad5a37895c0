#pragma once

#include "app/entry_rules.h"
#include "gui/entry_edit.h"

#include <cstdint>
#include <string_view>

namespace harlox {

// Whole-number entry field of a dialog. The dialog reads value(); changed(fieldId) tells
// it that the user changed the value.
class TLongEdit : public TEntryEdit {
    Q_OBJECT

public:
    TLongEdit(QWidget* parent, int fieldId, std::string_view format, std::int32_t minimum,
              std::int32_t maximum, std::int32_t undefinedValue, std::int32_t initial, std::int32_t step);

    [[nodiscard]] std::int32_t value() const { return entry_.value(); }
    // Stores and shows the value; no notification.
    void setValue(std::int32_t v);
    // The text is not rewritten.
    void setMinimum(std::int32_t v) {
        entry_.setMinimum(v);
        updateToolTip();
    }
    void setMaximum(std::int32_t v) {
        entry_.setMaximum(v);
        updateToolTip();
    }
    [[nodiscard]] const LongEntry& entry() const { return entry_; }

protected:
    [[nodiscard]] bool allowedChar(char c) const override { return LongEntry::isAllowedChar(c); }
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
    [[nodiscard]] bool wholeNumbers() const override { return true; }
    [[nodiscard]] std::string formatText() const override { return entry_.format(); }

private:
    LongEntry entry_;
};

} // namespace harlox
