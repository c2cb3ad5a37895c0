#include "app/entry_rules.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <limits>
#include <string>

namespace harlox {
namespace {

constexpr std::int32_t kI32Max = std::numeric_limits<std::int32_t>::max();

// ---- whole-number field: reading the text -------------------------------------------

struct LongCommitCase {
    const char* name;
    std::int32_t step, minimum, maximum, initial;
    std::string text;
    bool accepted;
    std::int32_t value; // expected afterwards
};

class LongCommit : public ::testing::TestWithParam<LongCommitCase> {};

TEST_P(LongCommit, ReadsSnapsAndLimits) {
    const LongCommitCase& c = GetParam();
    LongEntry e("%d", c.minimum, c.maximum, -999999, c.initial, c.step);
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
    ::testing::Values(
        LongCommitCase{"Step10RoundsDown", 10, 0, 1000, 500, "44", true, 40},
        LongCommitCase{"Step10HalfGoesUp", 10, 0, 1000, 500, "45", true, 50},
        LongCommitCase{"SnapsOntoMaximum", 10, 0, 1000, 500, "1004", true, 1000},
        LongCommitCase{"SnapsAboveMaximum", 10, 0, 1000, 500, "1006", false, 500},
        // Negative numbers snap to the nearest step as positive ones do, halves away from zero.
        LongCommitCase{"NegativeSnapsToNearest", 10, -100, 100, 7, "-6", true, -10},
        LongCommitCase{"NegativeFifteen", 10, -100, 100, 7, "-15", true, -20},
        LongCommitCase{"NegativeTwentySix", 10, -100, 100, 7, "-26", true, -30},
        LongCommitCase{"NegativeUnitStepKeepsTheNumber", 1, -100, 100, 7, "-7", true, -7},
        LongCommitCase{"PlusSign", 1, 0, 100, 7, "+12", true, 12},
        LongCommitCase{"BelowMinimum", 1, 10, 100, 50, "9", false, 50},
        LongCommitCase{"MinimumInclusive", 1, 10, 100, 50, "10", true, 10},
        LongCommitCase{"ForeignCharacter", 1, 0, 100, 7, "12x", false, 7},
        LongCommitCase{"TrailingSign", 1, 0, 100, 7, "12-", false, 7},
        LongCommitCase{"TwoSigns", 1, -100, 100, 7, "-+1", false, 7},
        LongCommitCase{"SignAlone", 1, 0, 100, 7, "+", false, 7},
        LongCommitCase{"EmptyReadsZero", 1, 0, 100, 7, "", true, 0},
        LongCommitCase{"EmptyBelowMinimum", 1, 1, 100, 7, "", false, 7},
        LongCommitCase{"BeyondInt32", 1, 0, kI32Max, 7, "2147483648", false, 7},
        LongCommitCase{"Int32Maximum", 1, 0, kI32Max, 7, "2147483647", true, kI32Max},
        LongCommitCase{"BeyondInt64", 1, 0, kI32Max, 7, "99999999999999999999999", false, 7},
        // Only the first 30 characters are read: the trailing x is never seen.
        LongCommitCase{"ThirtyCharacterLimit", 1, 0, 100, 7, std::string(29, '0') + "5x", true, 5},
        LongCommitCase{"ThirtyCharactersKept", 1, 0, 100, 7, std::string(28, '0') + "42", true, 42}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LongEntryTest, UnmodifiedTextIsNotParsed) {
    LongEntry e("%d", 0, 100, -1, -1, 1);
    DblEntry d("%2.2f", 0, 100, -1.0, -1.0, false);
    e.focusGained();
    d.focusGained();
    for (const EntryCommit r : {e.commit("undef.", false), d.commit(d.text(), false)}) {
        EXPECT_TRUE(r.accepted);
        EXPECT_FALSE(r.beep);
        EXPECT_FALSE(r.notify);
    }
    EXPECT_EQ(e.value(), -1);
    EXPECT_EQ(e.text(), "undef.");
    EXPECT_EQ(d.value(), -1.0);
    EXPECT_EQ(d.text(), "undef.");
}

TEST(LongEntryTest, ModifiedFlagAloneStillNotifies) {
    // A key that did not change the text (say, cursor left) still counts as an edit.
    LongEntry e("%d", 0, 100, -1, 4, 1);
    e.focusGained();
    e.markModified();
    const EntryCommit r = e.commit("4", false);
    EXPECT_TRUE(r.accepted);
    EXPECT_TRUE(r.notify);
    e.focusGained();
    EXPECT_FALSE(e.modified());
    EXPECT_FALSE(e.commit("4", false).notify);
}

// ---- whole-number field: arrow keys --------------------------------------------------

struct LongStepCase {
    const char* name;
    std::int32_t step, minimum, maximum, value;
    bool up;
    std::int32_t expected;
    bool beep;
};

class LongStep : public ::testing::TestWithParam<LongStepCase> {};

TEST_P(LongStep, StepsWithinRange) {
    const LongStepCase& c = GetParam();
    LongEntry e("%d", c.minimum, c.maximum, -999999, c.value, c.step);
    e.focusGained();
    const EntryStep r = c.up ? e.keyUp() : e.keyDown();
    EXPECT_TRUE(r.handled);
    EXPECT_EQ(r.beep, c.beep);
    EXPECT_EQ(r.notify, !c.beep);
    EXPECT_EQ(e.modified(), !c.beep);
    EXPECT_EQ(e.stepped(), !c.beep);
    EXPECT_EQ(e.value(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LongStep,
    ::testing::Values(LongStepCase{"UnitStepSmall", 1, 0, 1000, 5, true, 6, false},
                      LongStepCase{"UnitStepTenPercent", 1, 0, 1000, 250, true, 275, false},
                      LongStepCase{"UnitStepTenPercentDown", 1, 0, 1000, 250, false, 225, false},
                      LongStepCase{"UnitStepBelowTen", 1, 0, 1000, 19, true, 20, false},
                      LongStepCase{"UnitStepTwenty", 1, 0, 1000, 20, true, 22, false},
                      LongStepCase{"UnitStepNegativeValue", 1, -1000, 1000, -250, true, -249, false},
                      LongStepCase{"StepTen", 10, 0, 1000, 500, true, 510, false},
                      LongStepCase{"StepTenIgnoresValue", 10, 0, 1000, 500, false, 490, false},
                      LongStepCase{"ReachesMaximum", 10, 0, 1000, 990, true, 1000, false},
                      LongStepCase{"AboveMaximumKeepsValue", 10, 0, 1000, 995, true, 995, true},
                      LongStepCase{"BelowMinimumKeepsValue", 10, 0, 1000, 5, false, 5, true},
                      LongStepCase{"ReachesMinimum", 1, 0, 1000, 1, false, 0, false},
                      LongStepCase{"AtMinimum", 1, 0, 1000, 0, false, 0, true},
                      LongStepCase{"NoOverflowAtInt32Max", 1, 0, kI32Max, kI32Max, true, kI32Max, true},
                      // Stepping never lands outside the range, also from an undefined value.
                      LongStepCase{"UpFromFarBelowMinimum", 10, 0, 1000, -100, true, -100, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LongEntryTest, StepBelowOneIsOne) {
    LongEntry e("%d", -100, 100, -999, 50, 0);
    EXPECT_EQ(e.step(), 1);
    e.markModified();
    EXPECT_EQ(e.commit("37", true).accepted, true);
    EXPECT_EQ(e.value(), 37);
}

// ---- display -------------------------------------------------------------------------

TEST(EntryDisplayTest, LongFormats) {
    EXPECT_EQ(LongEntry("%d", 0, 100, -1, 42, 1).text(), "42");
    EXPECT_EQ(LongEntry("%d", 0, 100, -1, -1, 1).text(), "undef.");
    EXPECT_EQ(LongEntry("%4d pts", 0, 100, -1, 42, 1).text(), "  42 pts");
    EXPECT_EQ(LongEntry("%ld", 0, 100, -1, 42, 1).text(), "42");
    // Formats that do not take exactly one integer fall back to "%d".
    EXPECT_EQ(LongEntry("%s", 0, 100, -1, 42, 1).format(), "%d");
    EXPECT_EQ(LongEntry("%d %d", 0, 100, -1, 42, 1).format(), "%d");
    EXPECT_EQ(LongEntry("%2.1f", 0, 100, -1, 42, 1).format(), "%d");
    EXPECT_EQ(LongEntry("%100d", 0, 100, -1, 42, 1).format(), "%d");
    EXPECT_EQ(LongEntry("abc", 0, 100, -1, 42, 1).format(), "%d");
    EXPECT_EQ(LongEntry("%d%%", 0, 100, -1, 42, 1).text(), "42%");
}

TEST(EntryDisplayTest, DblFormats) {
    EXPECT_EQ(DblEntry("%2.1f", -90, 90, -1.0, 3.3, false).text(), "3.3");
    EXPECT_EQ(DblEntry("%2.2f", 0, 100, 100.0, 100.0, false).text(), "undef.");
    EXPECT_EQ(DblEntry("%2.2f", 0, 100, 100.0, 99.999, false).text(), "100.00");
    EXPECT_EQ(DblEntry("%s", 0, 100, -1.0, 2.5, false).format(), "%g");
    EXPECT_EQ(DblEntry("%d", 0, 100, -1.0, 2.5, false).text(), "2.5");
    DblEntry paired("%2.3f", 0, 1000, -1.0, 2.5, true);
    EXPECT_EQ(paired.format(), "%2.3f;%2.1f");
    EXPECT_EQ(paired.text(), "2.500;0.5");
    paired.setSecondValue(0.74);
    EXPECT_EQ(paired.text(), "2.500;0.7");
    paired.setFormat("%2.1f");
    EXPECT_EQ(paired.text(), "2.5;0.7");
    // The suffix must not be given twice.
    paired.setFormat("%2.1f;%2.1f");
    EXPECT_EQ(paired.format(), "%g;%2.1f");
    DblEntry single("%2.1f", 0, 100, -1.0, 2.5, false);
    single.setFormat("%2.3f");
    EXPECT_EQ(single.text(), "2.500");
}

TEST(EntryDisplayTest, DecimalCommaLocaleStillShowsAndReadsPoint) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* locales[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"};
    bool switched = false;
    for (const char* l : locales) {
        if (std::setlocale(LC_NUMERIC, l)) {
            switched = true;
            break;
        }
    }
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

// ---- real-number field: reading the text ---------------------------------------------

struct DblCommitCase {
    const char* name;
    bool paired;
    double minimum, maximum, initial, initialSecond;
    std::string text;
    bool accepted;
    double value, second; // expected afterwards
};

class DblCommit : public ::testing::TestWithParam<DblCommitCase> {};

TEST_P(DblCommit, ReadsAndLimits) {
    const DblCommitCase& c = GetParam();
    DblEntry e(c.paired ? "%2.3f" : "%2.2f", c.minimum, c.maximum, -999.0, c.initial, c.paired);
    e.setSecondValue(c.initialSecond);
    e.focusGained();
    e.markModified();
    const EntryCommit r = e.commit(c.text, true);
    EXPECT_EQ(r.accepted, c.accepted);
    EXPECT_EQ(r.beep, !c.accepted);
    EXPECT_EQ(r.notify, c.accepted);
    EXPECT_DOUBLE_EQ(e.value(), c.value);
    EXPECT_DOUBLE_EQ(e.secondValue(), c.second);
}

INSTANTIATE_TEST_SUITE_P(
    Single, DblCommit,
    ::testing::Values(
        DblCommitCase{"Plain", false, 0, 100, 50, 0.5, "3.3", true, 3.3, 0.5},
        DblCommitCase{"CommaIsPoint", false, 0, 100, 50, 0.5, "3,3", true, 3.3, 0.5},
        DblCommitCase{"GroupingCommaIsPointToo", false, 0, 100, 50, 0.5, "1,000", true, 1.0, 0.5},
        DblCommitCase{"Exponent", false, 0, 2000, 50, 0.5, "1e3", true, 1000.0, 0.5},
        DblCommitCase{"NegativeExponent", false, 0, 2000, 50, 0.5, "25e-1", true, 2.5, 0.5},
        DblCommitCase{"LeadingPoint", false, 0, 100, 50, 0.5, ".5", true, 0.5, 0.5},
        DblCommitCase{"PlusSign", false, 0, 100, 50, 0.5, "+2", true, 2.0, 0.5},
        DblCommitCase{"Negative", false, -90, 90, 50, 0.5, "-45.5", true, -45.5, 0.5},
        DblCommitCase{"MinimumInclusive", false, -90, 90, 50, 0.5, "-90", true, -90.0, 0.5},
        DblCommitCase{"AboveMaximum", false, -90, 90, 50, 0.5, "90.01", false, 50.0, 0.5},
        DblCommitCase{"BelowMinimum", false, -90, 90, 50, 0.5, "-91", false, 50.0, 0.5},
        DblCommitCase{"EmptyReadsZero", false, 0, 100, 50, 0.5, "", true, 0.0, 0.5},
        DblCommitCase{"EmptyBelowMinimum", false, 1, 100, 50, 0.5, "", false, 50.0, 0.5},
        // Characters after the number: accepted, value kept, no beep.
        DblCommitCase{"PastedTwoPoints", false, 0, 100, 50, 0.5, "3.3.3", true, 50.0, 0.5},
        DblCommitCase{"DanglingExponent", false, 0, 100, 50, 0.5, "1e", true, 50.0, 0.5},
        DblCommitCase{"TwoSigns", false, -100, 100, 50, 0.5, "+-2", true, 50.0, 0.5},
        DblCommitCase{"ExponentAlone", false, 0, 100, 50, 0.5, "e5", true, 50.0, 0.5},
        // Foreign characters are refused with a beep.
        DblCommitCase{"Letter", false, 0, 100, 50, 0.5, "3x", false, 50.0, 0.5},
        DblCommitCase{"Blank", false, 0, 100, 50, 0.5, " 3", false, 50.0, 0.5},
        DblCommitCase{"SemicolonInSingleMode", false, 0, 100, 50, 0.5, "3;0.7", false, 50.0, 0.5},
        DblCommitCase{"Overflow", false, 0, 100, 50, 0.5, "1e999", false, 50.0, 0.5},
        // Only the first 50 characters are read.
        DblCommitCase{"FiftyCharacterLimit", false, 0, 100, 50, 0.5, "0." + std::string(48, '0') + "9", true,
                      0.0, 0.5},
        DblCommitCase{"FiftyCharactersKept", false, 0, 100, 50, 0.5, "0." + std::string(47, '0') + "9", true,
                      9e-48, 0.5}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Paired, DblCommit,
    ::testing::Values(
        DblCommitCase{"Both", true, 0, 20000, 500, 0.5, "2000;0.7", true, 2000.0, 0.7},
        DblCommitCase{"FirstOnlyKeepsSecond", true, 0, 20000, 500, 0.3, "2000", true, 2000.0, 0.3},
        DblCommitCase{"EmptySecondKeepsSecond", true, 0, 20000, 500, 0.3, "2000;", true, 2000.0, 0.3},
        DblCommitCase{"SecondLowestQ", true, 0, 20000, 500, 0.5, "2000;0.1", true, 2000.0, 0.1},
        DblCommitCase{"SecondHighestQ", true, 0, 20000, 500, 0.5, "2000;9.9", true, 2000.0, 9.9},
        // A refused pair leaves both numbers as they were.
        DblCommitCase{"SecondTooHigh", true, 0, 20000, 500, 0.5, "2000;12", false, 500.0, 0.5},
        DblCommitCase{"SecondTooLow", true, 0, 20000, 500, 0.5, "2000;0.05", false, 500.0, 0.5},
        DblCommitCase{"SecondIncomplete", true, 0, 20000, 500, 0.5, "2000;0.7.1", false, 500.0, 0.5},
        DblCommitCase{"ThirdPart", true, 0, 20000, 500, 0.5, "2000;0.7;1", false, 500.0, 0.5},
        DblCommitCase{"FirstAboveMaximum", true, 0, 1000, 500, 0.5, "2000;0.7", false, 500.0, 0.5},
        DblCommitCase{"FirstIncomplete", true, 0, 20000, 500, 0.5, "20.0.0;0.7", false, 500.0, 0.5},
        DblCommitCase{"FirstMissing", true, 0, 20000, 500, 0.5, ";0.7", false, 500.0, 0.5},
        DblCommitCase{"EmptyIsZero", true, 0, 20000, 500, 0.3, "", true, 0.0, 0.3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DblEntryTest, RefusalClearsFlags) {
    DblEntry e("%2.2f", 0, 100, -1.0, 5.0, false);
    e.focusGained();
    EXPECT_TRUE(e.keyUp().notify);
    EXPECT_TRUE(e.stepped());
    e.markModified();
    EXPECT_FALSE(e.commit("500", true).accepted);
    EXPECT_FALSE(e.modified());
    EXPECT_FALSE(e.stepped());
}

TEST(EntryRules, AllowedCharacters) {
    for (const char c : std::string("0123456789+-"))
        EXPECT_TRUE(LongEntry::isAllowedChar(c)) << c;
    for (const char c : std::string(".,;eE x\t/"))
        EXPECT_FALSE(LongEntry::isAllowedChar(c)) << c;
    EXPECT_FALSE(LongEntry::isAllowedChar('\0'));
    const DblEntry single("%g", 0, 1, -1, 0, false);
    const DblEntry paired("%g", 0, 1, -1, 0, true);
    for (const char c : std::string("0123456789+-Ee.,")) {
        EXPECT_TRUE(single.isAllowedChar(c)) << c;
        EXPECT_TRUE(paired.isAllowedChar(c)) << c;
    }
    EXPECT_FALSE(single.isAllowedChar(';'));
    EXPECT_TRUE(paired.isAllowedChar(';'));
    for (const char c : std::string("xX dfn\t/"))
        EXPECT_FALSE(paired.isAllowedChar(c)) << c;
    EXPECT_FALSE(single.isAllowedChar('\0'));
}

// ---- real-number field: arrow keys ---------------------------------------------------

struct DblStepCase {
    const char* name;
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

INSTANTIATE_TEST_SUITE_P(
    Table, DblStep,
    ::testing::Values(DblStepCase{"Up", 0, 1000, 100, true, 105.0, false},
                      DblStepCase{"Down", 0, 1000, 100, false, 100.0 / 1.05, false},
                      DblStepCase{"UpClampsToMaximum", 0, 104, 100, true, 104.0, true},
                      DblStepCase{"UpExactlyToMaximum", 0, 105, 100, true, 105.0, false},
                      DblStepCase{"DownClampsToMinimum", 96, 1000, 100, false, 96.0, true},
                      DblStepCase{"ZeroStaysZero", -10, 10, 0, true, 0.0, false},
                      DblStepCase{"NegativeUpGoesDown", -90, 90, -10, true, -10.5, false},
                      // From a value outside the range the step lands on the nearer limit.
                      DblStepCase{"UpFromUndefinedBelowRange", 0.1, 100, -1, true, 0.1, true},
                      DblStepCase{"DownFromAboveRange", 0, 90, 100, false, 90.0, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DblEntryTest, ReadOnlyIgnoresArrows) {
    DblEntry e("%2.2f", 0, 1000, -1.0, 100.0, false);
    e.setReadOnly(true);
    e.focusGained();
    const EntryStep up = e.keyUp();
    const EntryStep down = e.keyDown();
    EXPECT_FALSE(up.handled);
    EXPECT_FALSE(up.notify);
    EXPECT_FALSE(down.handled);
    EXPECT_FALSE(e.modified());
    EXPECT_EQ(e.value(), 100.0);
}

} // namespace
} // namespace harlox
