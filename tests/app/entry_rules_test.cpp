#include "app/entry_rules.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

namespace harlox {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// ---- whole-number field ---------------------------------------------------------------

TEST(LongEntryTest, CommitReadsSnapsAndLimits) {
    struct Case {
        std::int32_t step, minimum, maximum;
        std::string text;
        bool accepted;
        std::int32_t value; // afterwards; 7 when refused
    };
    // Snapping to the nearest step may land on the maximum (1004) or above it (1006); negatives
    // snap halves away from zero; a step below 1 is 1; only the first 30 characters are read.
    const std::string max = "2147483647", over = "2147483648", huge(20, '9'),
                      cut = std::string(29, '0') + "5x";
    const Case cases[] = {
        {10, 0, 1000, "44", true, 40},   {10, 0, 1000, "45", true, 50},     {10, 0, 1000, "1004", true, 1000},
        {10, 0, 1000, "1006", false, 7}, {10, -100, 100, "-15", true, -20}, {0, -100, 100, "37", true, 37},
        {1, 0, 100, "+12", true, 12},    {1, 10, 100, "9", false, 7},       {1, 10, 100, "10", true, 10},
        {1, 0, 100, "12x", false, 7},    {1, -100, 100, "-+1", false, 7},   {1, 0, 100, "", true, 0},
        {1, 1, 100, "", false, 7},       {1, 0, kMax, max, true, kMax},     {1, 0, kMax, over, false, 7},
        {1, 0, kMax, huge, false, 7},    {1, 0, 100, cut, true, 5},
    };
    for (const Case& c : cases) {
        LongEntry e("%d", c.minimum, c.maximum, -999999, 7, c.step);
        e.focusGained();
        e.markModified();
        const EntryCommit r = e.commit(c.text, true);
        // A refusal beeps and clears the flags, so only accepted input is announced.
        EXPECT_EQ(std::tuple(r.accepted, r.beep, r.notify, e.modified(), e.value()),
                  std::tuple(c.accepted, !c.accepted, c.accepted, c.accepted, c.value))
            << c.text;
    }
}

// With step 1 the arrows move by a tenth of the value, at least 1; a step that would leave the
// range is refused with a beep, also from an undefined value outside it.
TEST(LongEntryTest, ArrowsStepWithinRange) {
    struct Case {
        std::int32_t step, minimum, maximum, value;
        bool up;
        std::int32_t expected; // equal to value: refused
    };
    const Case cases[] = {
        {1, 0, 1000, 19, true, 20},     {1, 0, 1000, 250, true, 275},   {1, -1000, 1000, -250, true, -249},
        {10, 0, 1000, 990, true, 1000}, {10, 0, 1000, 995, true, 995},  {1, 0, 1000, 1, false, 0},
        {10, 0, 1000, 5, false, 5},     {1, 0, kMax, kMax, true, kMax}, {10, 0, 1000, -100, true, -100},
    };
    for (const Case& c : cases) {
        const bool moves = c.expected != c.value;
        LongEntry e("%d", c.minimum, c.maximum, -999999, c.value, c.step);
        e.focusGained();
        const EntryStep r = c.up ? e.keyUp() : e.keyDown();
        EXPECT_EQ(std::tuple(r.handled, r.beep, r.notify, e.modified() && e.stepped(), e.value()),
                  std::tuple(true, !moves, moves, moves, c.expected))
            << c.value;
    }
}

TEST(EntryTest, UnmodifiedTextIsNotParsedTheModifiedFlagAloneNotifies) {
    LongEntry e("%d", 0, 100, -1, -1, 1);
    DblEntry d("%2.2f", 0, 100, -1.0, -1.0, false);
    e.focusGained();
    d.focusGained();
    for (const EntryCommit r : {e.commit("undef.", false), d.commit(d.text(), false)})
        EXPECT_TRUE(r.accepted && !r.beep && !r.notify);
    EXPECT_EQ(e.value(), -1);
    EXPECT_EQ(d.value(), -1.0);
    // A key that did not change the text (say, cursor left) still counts as an edit.
    e.setValue(4);
    e.markModified();
    EXPECT_TRUE(e.commit("4", false).notify);
}

// A format that is not exactly one conversion of the field's kind falls back to "%d" or "%g".
TEST(EntryTest, Formats) {
    const std::pair<const char*, const char*> formats[] = {{"%4d pts", "  42 pts"}, {"%ld", "42"},
                                                           {"%d%%", "42%"},         {"%s", "42"},
                                                           {"%d %d", "42"},         {"%100d", "42"}};
    for (const auto& [format, text] : formats)
        EXPECT_EQ(LongEntry(format, 0, 100, -1, 42, 1).text(), text) << format;
    EXPECT_EQ(LongEntry("%d", 0, 100, -1, -1, 1).text(), "undef.");
    EXPECT_EQ(DblEntry("%2.2f", 0, 100, 100.0, 99.999, false).text(), "100.00");
    EXPECT_EQ(DblEntry("%d", 0, 100, -1.0, 2.5, false).text(), "2.5");
    DblEntry paired("%2.3f", 0, 1000, -1.0, 2.5, true);
    EXPECT_EQ(paired.text(), "2.500;0.5");
    paired.setSecondValue(0.74);
    paired.setFormat("%2.1f;%2.1f"); // the suffix must not be given twice
    EXPECT_EQ(paired.text(), "2.5;0.7");
}

TEST(EntryTest, DecimalCommaLocaleStillShowsAndReadsPoint) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    bool switched = false;
    for (const char* l : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"})
        switched = switched || std::setlocale(LC_NUMERIC, l) != nullptr;
    if (!switched) GTEST_SKIP() << "no locale with a decimal comma installed";
    DblEntry e("%2.2f", 0, 100, -1.0, 2.5, false);
    const std::string shown = e.text();
    e.markModified();
    const EntryCommit r = e.commit("7.25", true);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(shown, "2.50");
    EXPECT_TRUE(r.accepted);
    EXPECT_DOUBLE_EQ(e.value(), 7.25);
}

TEST(EntryTest, AllowedCharacters) {
    const DblEntry single("%g", 0, 1, -1, 0, false);
    const DblEntry paired("%g", 0, 1, -1, 0, true);
    for (const char c : std::string("0123456789+-Ee.,;xdn \t/") + '\0') {
        const bool digitOrSign = std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-';
        const bool real = digitOrSign || std::string_view("Ee.,").find(c) != std::string_view::npos;
        EXPECT_EQ(LongEntry::isAllowedChar(c), digitOrSign) << c;
        EXPECT_EQ(single.isAllowedChar(c), real) << c;
        EXPECT_EQ(paired.isAllowedChar(c), real || c == ';') << c;
    }
}

// ---- real-number field ----------------------------------------------------------------

TEST(DblEntryTest, CommitReadsAndLimits) {
    struct Case {
        bool paired;
        double minimum, maximum;
        std::string text;
        bool accepted;
        double value, second; // afterwards; 50 and 0.5 when kept
    };
    // A comma is a point. Allowed characters after the number (3.3.3) keep the value without a
    // beep; foreign ones and overflow are refused. Only the first 50 characters are read. A
    // refused pair leaves both numbers as they were.
    const std::string cut = "0." + std::string(48, '0') + "9";
    const Case cases[] = {
        {false, 0, 100, "3,3", true, 3.3, 0.5},      {false, 0, 2000, "25e-1", true, 2.5, 0.5},
        {false, -90, 90, "-90", true, -90.0, 0.5},   {false, -90, 90, "90.01", false, 50, 0.5},
        {false, 0, 100, "", true, 0.0, 0.5},         {false, 1, 100, "", false, 50, 0.5},
        {false, 0, 100, "3.3.3", true, 50, 0.5},     {false, 0, 100, "3x", false, 50, 0.5},
        {false, 0, 100, "3;0.7", false, 50, 0.5},    {false, 0, 100, "1e999", false, 50, 0.5},
        {false, 0, 100, cut, true, 0.0, 0.5},        {true, 0, 1e4, "2000;0.1", true, 2000, 0.1},
        {true, 0, 1e4, "2000;9.9", true, 2000, 9.9}, {true, 0, 1e4, "2000", true, 2000, 0.5},
        {true, 0, 1e4, "", true, 0.0, 0.5},          {true, 0, 1e4, "2000;9.91", false, 50, 0.5},
        {true, 0, 1e4, "2000;0.09", false, 50, 0.5}, {true, 0, 1e4, "2000;0.7.1", false, 50, 0.5},
        {true, 0, 1000, "2000;0.7", false, 50, 0.5}, {true, 0, 1e4, "20.0.0;0.7", false, 50, 0.5},
        {true, 0, 1e4, ";0.7", false, 50, 0.5},
    };
    for (const Case& c : cases) {
        DblEntry e(c.paired ? "%2.3f" : "%2.2f", c.minimum, c.maximum, -999.0, 50.0, c.paired);
        e.setSecondValue(0.5);
        e.focusGained();
        e.markModified();
        const EntryCommit r = e.commit(c.text, true);
        EXPECT_EQ(std::tuple(r.accepted, r.beep, r.notify, e.modified()),
                  std::tuple(c.accepted, !c.accepted, c.accepted, c.accepted))
            << c.text;
        EXPECT_DOUBLE_EQ(e.value(), c.value) << c.text;
        EXPECT_DOUBLE_EQ(e.secondValue(), c.second) << c.text;
    }
}

// The arrows scale by 5 %; a value beyond the range (also from below it) is clamped with a beep,
// and set all the same.
TEST(DblEntryTest, ArrowsScaleAndClamp) {
    struct Case {
        double minimum, maximum, value;
        bool up;
        double expected;
        bool beep;
    };
    const Case cases[] = {
        {0, 1000, 100, true, 105.0, false}, {0, 1000, 100, false, 100.0 / 1.05, false},
        {0, 104, 100, true, 104.0, true},   {0, 105, 100, true, 105.0, false},
        {96, 1000, 100, false, 96.0, true}, {-90, 90, -10, true, -10.5, false},
        {0.1, 100, -1, true, 0.1, true},
    };
    for (const Case& c : cases) {
        DblEntry e("%2.2f", c.minimum, c.maximum, -999.0, c.value, false);
        e.focusGained();
        const EntryStep r = c.up ? e.keyUp() : e.keyDown();
        EXPECT_TRUE(r.handled && r.notify && e.modified()) << c.value;
        EXPECT_EQ(r.beep, c.beep) << c.value;
        EXPECT_DOUBLE_EQ(e.value(), c.expected) << c.value;
    }
    // A read-only field ignores the arrows.
    DblEntry e("%2.2f", 0, 1000, -1.0, 100.0, false);
    e.setReadOnly(true);
    e.focusGained();
    for (const EntryStep r : {e.keyUp(), e.keyDown()})
        EXPECT_FALSE(r.handled || r.notify);
    EXPECT_FALSE(e.modified());
    EXPECT_EQ(e.value(), 100.0);
}

} // namespace
} // namespace harlox
