#include "app/entry_rules.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace harlox {
namespace {

constexpr std::int32_t kI32Max = std::numeric_limits<std::int32_t>::max();

// ---- whole-number field ---------------------------------------------------------------

struct LongCommitCase {
    std::int32_t step, minimum, maximum;
    std::string text;
    bool accepted;
    std::int32_t value; // afterwards; 7 when refused
};

class LongCommit : public ::testing::TestWithParam<LongCommitCase> {};

TEST_P(LongCommit, ReadsSnapsAndLimits) {
    const LongCommitCase& c = GetParam();
    LongEntry e("%d", c.minimum, c.maximum, -999999, 7, c.step);
    e.focusGained();
    e.markModified();
    const EntryCommit r = e.commit(c.text, true);
    EXPECT_EQ(r.accepted, c.accepted);
    EXPECT_EQ(r.beep, !c.accepted);
    // A refusal clears the flags, so only accepted input is announced.
    EXPECT_EQ(r.notify, c.accepted);
    EXPECT_EQ(e.modified(), c.accepted);
    EXPECT_EQ(e.value(), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LongCommit,
    ::testing::Values(LongCommitCase{10, 0, 1000, "44", true, 40},
                      LongCommitCase{10, 0, 1000, "45", true, 50},
                      LongCommitCase{10, 0, 1000, "1004", true, 1000}, // snaps onto the maximum
                      LongCommitCase{10, 0, 1000, "1006", false, 7},   // snaps above it
                      LongCommitCase{10, -100, 100, "-6", true, -10},  // negatives snap to the nearest
                      LongCommitCase{10, -100, 100, "-15", true, -20}, // halves away from zero
                      LongCommitCase{0, -100, 100, "37", true, 37},    // a step below 1 is 1
                      LongCommitCase{1, 0, 100, "+12", true, 12}, LongCommitCase{1, 10, 100, "9", false, 7},
                      LongCommitCase{1, 10, 100, "10", true, 10}, LongCommitCase{1, 0, 100, "12x", false, 7},
                      LongCommitCase{1, -100, 100, "-+1", false, 7}, LongCommitCase{1, 0, 100, "+", false, 7},
                      LongCommitCase{1, 0, 100, "", true, 0}, LongCommitCase{1, 1, 100, "", false, 7},
                      LongCommitCase{1, 0, kI32Max, "2147483647", true, kI32Max},
                      LongCommitCase{1, 0, kI32Max, "2147483648", false, 7},
                      LongCommitCase{1, 0, kI32Max, "99999999999999999999999", false, 7},
                      // Only the first 30 characters are read: the trailing x is never seen.
                      LongCommitCase{1, 0, 100, std::string(29, '0') + "5x", true, 5},
                      LongCommitCase{1, 0, 100, std::string(28, '0') + "42", true, 42}));

struct LongStepCase {
    std::int32_t step, minimum, maximum, value;
    bool up;
    std::int32_t expected; // equal to value: refused with a beep
};

class LongStep : public ::testing::TestWithParam<LongStepCase> {};

TEST_P(LongStep, StepsWithinRange) {
    const LongStepCase& c = GetParam();
    const bool moves = c.expected != c.value;
    LongEntry e("%d", c.minimum, c.maximum, -999999, c.value, c.step);
    e.focusGained();
    const EntryStep r = c.up ? e.keyUp() : e.keyDown();
    EXPECT_TRUE(r.handled);
    EXPECT_EQ(r.beep, !moves);
    EXPECT_EQ(r.notify, moves);
    EXPECT_EQ(e.modified(), moves);
    EXPECT_EQ(e.stepped(), moves);
    EXPECT_EQ(e.value(), c.expected);
}

// With step 1 the arrows move by a tenth of the value, at least 1.
INSTANTIATE_TEST_SUITE_P(
    Table, LongStep,
    ::testing::Values(LongStepCase{1, 0, 1000, 19, true, 20}, LongStepCase{1, 0, 1000, 20, true, 22},
                      LongStepCase{1, 0, 1000, 250, true, 275},
                      LongStepCase{1, -1000, 1000, -250, true, -249},
                      LongStepCase{10, 0, 1000, 500, false, 490}, LongStepCase{10, 0, 1000, 990, true, 1000},
                      LongStepCase{10, 0, 1000, 995, true, 995}, LongStepCase{1, 0, 1000, 1, false, 0},
                      LongStepCase{10, 0, 1000, 5, false, 5},
                      LongStepCase{1, 0, kI32Max, kI32Max, true, kI32Max},
                      // never lands outside the range, also from an undefined value
                      LongStepCase{10, 0, 1000, -100, true, -100}));

TEST(EntryTest, UnmodifiedTextIsNotParsedTheModifiedFlagAloneNotifies) {
    LongEntry e("%d", 0, 100, -1, -1, 1);
    DblEntry d("%2.2f", 0, 100, -1.0, -1.0, false);
    e.focusGained();
    d.focusGained();
    for (const EntryCommit r : {e.commit("undef.", false), d.commit(d.text(), false)}) {
        EXPECT_TRUE(r.accepted);
        EXPECT_FALSE(r.beep || r.notify);
    }
    EXPECT_EQ(e.value(), -1);
    EXPECT_EQ(d.value(), -1.0);
    EXPECT_EQ(d.text(), "undef.");
    // A key that did not change the text (say, cursor left) still counts as an edit.
    e.setValue(4);
    e.markModified();
    EXPECT_TRUE(e.commit("4", false).notify);
    e.focusGained();
    EXPECT_FALSE(e.commit("4", false).notify);
}

// A format that is not exactly one integer conversion falls back to "%d".
TEST(EntryTest, Formats) {
    for (const auto& [format, text] : {std::pair{"%4d pts", "  42 pts"},
                                       {"%ld", "42"},
                                       {"%d%%", "42%"},
                                       {"%s", "42"},
                                       {"%d %d", "42"},
                                       {"%100d", "42"},
                                       {"abc", "42"}})
        EXPECT_EQ(LongEntry(format, 0, 100, -1, 42, 1).text(), text) << format;
    EXPECT_EQ(LongEntry("%d", 0, 100, -1, -1, 1).text(), "undef.");
    EXPECT_EQ(DblEntry("%2.2f", 0, 100, 100.0, 100.0, false).text(), "undef.");
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

struct DblCommitCase {
    bool paired;
    double minimum, maximum;
    std::string text;
    bool accepted;
    double value, second; // afterwards; 50 and 0.5 when kept
};

class DblCommit : public ::testing::TestWithParam<DblCommitCase> {};

TEST_P(DblCommit, ReadsAndLimits) {
    const DblCommitCase& c = GetParam();
    DblEntry e(c.paired ? "%2.3f" : "%2.2f", c.minimum, c.maximum, -999.0, 50.0, c.paired);
    e.setSecondValue(0.5);
    e.focusGained();
    e.markModified();
    const EntryCommit r = e.commit(c.text, true);
    EXPECT_EQ(r.accepted, c.accepted);
    EXPECT_EQ(r.beep, !c.accepted);
    EXPECT_EQ(r.notify, c.accepted);
    EXPECT_EQ(e.modified() || e.stepped(), c.accepted); // a refusal clears the flags
    EXPECT_DOUBLE_EQ(e.value(), c.value);
    EXPECT_DOUBLE_EQ(e.secondValue(), c.second);
}

INSTANTIATE_TEST_SUITE_P(
    Single, DblCommit,
    ::testing::Values(DblCommitCase{false, 0, 100, "3,3", true, 3.3, 0.5}, // a comma is a point
                      DblCommitCase{false, 0, 2000, "25e-1", true, 2.5, 0.5},
                      DblCommitCase{false, -90, 90, "-90", true, -90.0, 0.5},
                      DblCommitCase{false, -90, 90, "90.01", false, 50.0, 0.5},
                      DblCommitCase{false, 0, 100, "", true, 0.0, 0.5},
                      DblCommitCase{false, 1, 100, "", false, 50.0, 0.5},
                      // Allowed characters after the number, or no number: accepted, value kept, no beep.
                      DblCommitCase{false, 0, 100, "3.3.3", true, 50.0, 0.5},
                      DblCommitCase{false, -100, 100, "+-2", true, 50.0, 0.5},
                      // Foreign characters and overflow are refused with a beep.
                      DblCommitCase{false, 0, 100, "3x", false, 50.0, 0.5},
                      DblCommitCase{false, 0, 100, "3;0.7", false, 50.0, 0.5},
                      DblCommitCase{false, 0, 100, "1e999", false, 50.0, 0.5},
                      // Only the first 50 characters are read.
                      DblCommitCase{false, 0, 100, "0." + std::string(48, '0') + "9", true, 0.0, 0.5},
                      DblCommitCase{false, 0, 100, "0." + std::string(47, '0') + "9", true, 9e-48, 0.5}));

INSTANTIATE_TEST_SUITE_P(Paired, DblCommit,
                         ::testing::Values(DblCommitCase{true, 0, 20000, "2000;0.1", true, 2000.0, 0.1},
                                           DblCommitCase{true, 0, 20000, "2000;9.9", true, 2000.0, 9.9},
                                           DblCommitCase{true, 0, 20000, "2000", true, 2000.0, 0.5},
                                           DblCommitCase{true, 0, 20000, "2000;", true, 2000.0, 0.5},
                                           DblCommitCase{true, 0, 20000, "", true, 0.0, 0.5},
                                           // A refused pair leaves both numbers as they were.
                                           DblCommitCase{true, 0, 20000, "2000;9.91", false, 50.0, 0.5},
                                           DblCommitCase{true, 0, 20000, "2000;0.09", false, 50.0, 0.5},
                                           DblCommitCase{true, 0, 20000, "2000;0.7.1", false, 50.0, 0.5},
                                           DblCommitCase{true, 0, 20000, "2000;0.7;1", false, 50.0, 0.5},
                                           DblCommitCase{true, 0, 1000, "2000;0.7", false, 50.0, 0.5},
                                           DblCommitCase{true, 0, 20000, "20.0.0;0.7", false, 50.0, 0.5},
                                           DblCommitCase{true, 0, 20000, ";0.7", false, 50.0, 0.5}));

struct DblStepCase {
    double minimum, maximum, value;
    bool up;
    double expected;
    bool beep;
};

class DblStep : public ::testing::TestWithParam<DblStepCase> {};

TEST_P(DblStep, ScalesAndClamps) {
    const DblStepCase& c = GetParam();
    DblEntry e("%2.2f", c.minimum, c.maximum, -999.0, c.value, false);
    e.focusGained();
    const EntryStep r = c.up ? e.keyUp() : e.keyDown();
    EXPECT_TRUE(r.handled);
    EXPECT_EQ(r.beep, c.beep);
    EXPECT_TRUE(r.notify); // clamped or not, the value was set
    EXPECT_TRUE(e.modified());
    EXPECT_DOUBLE_EQ(e.value(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, DblStep,
                         ::testing::Values(DblStepCase{0, 1000, 100, true, 105.0, false},
                                           DblStepCase{0, 1000, 100, false, 100.0 / 1.05, false},
                                           DblStepCase{0, 104, 100, true, 104.0, true},
                                           DblStepCase{0, 105, 100, true, 105.0, false},
                                           DblStepCase{96, 1000, 100, false, 96.0, true},
                                           DblStepCase{-10, 10, 0, true, 0.0, false},
                                           DblStepCase{-90, 90, -10, true, -10.5, false},
                                           // from below the range the step lands on the minimum
                                           DblStepCase{0.1, 100, -1, true, 0.1, true}));

TEST(EntryTest, RefusalClearsFlags) {
    DblEntry e("%2.2f", 0, 100, -1.0, 5.0, false);
    e.focusGained();
    EXPECT_TRUE(e.keyUp().notify);
    e.markModified();
    EXPECT_FALSE(e.commit("500", true).accepted);
    EXPECT_FALSE(e.modified() || e.stepped());
}

TEST(EntryTest, ReadOnlyIgnoresArrows) {
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
