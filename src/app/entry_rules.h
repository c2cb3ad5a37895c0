#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace harlox {

// How text typed into the numeric entry fields becomes a value, when input is refused and
// when the owning dialog is told. The widgets (gui/long_edit.h, gui/dbl_edit.h) hold one of
// these and only translate focus and key events.
//
// Numbers are read with std::from_chars and written with printf, whose decimal separator
// is put back to '.' when the C locale says otherwise, so a desktop running under a locale
// with a decimal comma reads and shows the same numbers.

inline constexpr std::string_view kUndefinedText = "undef.";

// The outcome of reading the text when the field loses the focus.
struct EntryCommit {
    bool accepted = true; // false: refused, the previous value is shown again
    bool beep = false;
    bool notify = false; // post the change notification
};

// The outcome of an up or down arrow key.
struct EntryStep {
    bool handled = false; // false: the key was ignored (read-only field)
    bool beep = false;
    bool notify = false;
};

// Whole-number field.
class LongEntry {
public:
    static constexpr std::size_t kMaxTextLength = 30;
    static constexpr std::string_view kAllowedChars = "0123456789+-";

    // A step below 1 is taken as 1. A format that is not a single integer conversion is
    // replaced by "%d".
    LongEntry(std::string_view format, std::int32_t minimum, std::int32_t maximum,
              std::int32_t undefinedValue, std::int32_t initial, std::int32_t step);

    [[nodiscard]] std::int32_t value() const { return value_; }
    void setValue(std::int32_t v) { value_ = v; }
    [[nodiscard]] std::int32_t minimum() const { return minimum_; }
    [[nodiscard]] std::int32_t maximum() const { return maximum_; }
    void setMinimum(std::int32_t v) { minimum_ = v; }
    void setMaximum(std::int32_t v) { maximum_ = v; }
    [[nodiscard]] std::int32_t undefinedValue() const { return undefined_; }
    [[nodiscard]] std::int32_t step() const { return step_; }
    [[nodiscard]] const std::string& format() const { return format_; }

    [[nodiscard]] bool modified() const { return modified_; }
    [[nodiscard]] bool stepped() const { return stepped_; }
    void focusGained() { modified_ = stepped_ = false; }
    // A key other than the arrows reached the field, or the user edited its text.
    void markModified() { modified_ = true; }

    // "undef." or the value printed with the format.
    [[nodiscard]] std::string text() const;

    // Reads the text on focus loss; userModified is the control's own modified state.
    EntryCommit commit(std::string_view text, bool userModified);
    EntryStep keyUp();
    EntryStep keyDown();

    [[nodiscard]] static bool isAllowedChar(char c);

private:
    EntryCommit refuse();
    [[nodiscard]] std::int32_t increment() const;

    std::string format_;
    std::int32_t minimum_;
    std::int32_t maximum_;
    std::int32_t undefined_;
    std::int32_t value_;
    std::int32_t step_;
    bool modified_ = false;
    bool stepped_ = false;
};

// Real-number field; in paired mode it holds "value;second", the second being a quality
// factor in [0.1, 9.9].
class DblEntry {
public:
    static constexpr std::size_t kMaxTextLength = 50;
    static constexpr double kSecondMinimum = 0.1;
    static constexpr double kSecondMaximum = 9.9;
    static constexpr double kSecondDefault = 0.5;
    static constexpr double kUpFactor = 1.05;
    static constexpr double kDownFactor = 0.95238095238095238;
    static constexpr std::string_view kPairedSuffix = ";%2.1f";

    // A format that is not a single real conversion (two in paired mode, after the
    // suffix is appended) is replaced by "%g" (plus the suffix).
    DblEntry(std::string_view format, double minimum, double maximum, double undefinedValue, double initial,
             bool paired);

    [[nodiscard]] double value() const { return value_; }
    void setValue(double v) { value_ = v; }
    [[nodiscard]] double secondValue() const { return second_; }
    void setSecondValue(double q) { second_ = q; }
    [[nodiscard]] double minimum() const { return minimum_; }
    [[nodiscard]] double maximum() const { return maximum_; }
    void setMinimum(double v) { minimum_ = v; }
    void setMaximum(double v) { maximum_ = v; }
    [[nodiscard]] double undefinedValue() const { return undefined_; }
    [[nodiscard]] bool paired() const { return paired_; }
    // The format in use, with the paired suffix already appended.
    [[nodiscard]] const std::string& format() const { return format_; }
    void setFormat(std::string_view format);
    [[nodiscard]] bool readOnly() const { return readOnly_; }
    void setReadOnly(bool on) { readOnly_ = on; }

    [[nodiscard]] bool modified() const { return modified_; }
    [[nodiscard]] bool stepped() const { return stepped_; }
    void focusGained() { modified_ = stepped_ = false; }
    void markModified() { modified_ = true; }

    [[nodiscard]] std::string text() const;
    EntryCommit commit(std::string_view text, bool userModified);
    EntryStep keyUp();
    EntryStep keyDown();

    [[nodiscard]] bool isAllowedChar(char c) const;

private:
    EntryCommit refuse();
    EntryCommit commitSingle(std::string_view text);
    EntryCommit commitPaired(std::string_view text);
    EntryStep stepTo(double candidate);

    std::string format_;
    double minimum_;
    double maximum_;
    double undefined_;
    double value_;
    double second_ = kSecondDefault;
    bool paired_;
    bool readOnly_ = false;
    bool modified_ = false;
    bool stepped_ = false;
};

// Number reading shared by both fields, exposed for the tests. `consumed` counts the
// characters that formed the number (0: nothing converted); `overflow` is set when the
// number does not fit.
struct ParsedNumber {
    std::size_t consumed = 0;
    bool overflow = false;
};
struct ParsedInteger : ParsedNumber {
    std::int64_t value = 0;
};
struct ParsedReal : ParsedNumber {
    double value = 0.0;
};
// An optional sign and decimal digits, as strtol reads them (no leading blanks).
ParsedInteger parseInteger(std::string_view text);
// An optional sign and a decimal real as strtod reads it, always with '.' as separator.
ParsedReal parseReal(std::string_view text);

} // namespace harlox
