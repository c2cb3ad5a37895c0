#include "gui/measure_setup_dialog.h"

#include "core/measure_setup.h"
#include "core/program_dir.h"
#include "gui/dbl_edit.h"
#include "gui/long_edit.h"
#include "dialog_test_support.h"
#include "temp_dir.h"

#include <QAction>
#include <QCheckBox>
#include <QMenuBar>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

class MeasureSetupDialogTest : public test::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        setup().setupChanged = 0;
        dialog = std::make_unique<TMeasureSetupDialog>(nullptr, setup(), ui,
                                                       [this](int flag) { flags.push_back(flag); });
        test::showActive(dialog.get());
    }
    void TearDown() override {
        dialog.reset();
        setPreferencesDirectory("");
        DialogTest::TearDown();
    }

    static MeasureSetup& setup() { return sharedSetup(); }

    std::vector<int> flags;
    std::unique_ptr<TMeasureSetupDialog> dialog;
};

TEST_F(MeasureSetupDialogTest, ShowsTheSetup) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Measurement setup"));
    EXPECT_EQ(dialog->helpFile(), QStringLiteral("measetup.txt"));
    EXPECT_EQ(dialog->startField()->text(), QStringLiteral("20"));
    EXPECT_EQ(dialog->stopField()->text(), QStringLiteral("2000"));
    EXPECT_EQ(dialog->pointsField()->text(), QStringLiteral("50"));
    EXPECT_EQ(dialog->sourceLevelField()->text(), QStringLiteral("2.83"));
    EXPECT_EQ(dialog->powerField()->text(), QStringLiteral("1.00"));
    EXPECT_EQ(dialog->resistanceField()->text(), QStringLiteral("0.00e+00"));
    EXPECT_EQ(dialog->rangeField()->text(), QStringLiteral("30"));
    EXPECT_TRUE(dialog->rangeField()->isEnabled());
    EXPECT_FALSE(dialog->autorangeBox()->isChecked());
    EXPECT_FALSE(dialog->hidePhaseBox()->isChecked());
    EXPECT_TRUE(dialog->calculateImmediatelyBox()->isChecked());
}

TEST_F(MeasureSetupDialogTest, PowerSetsTheSourceLevel) {
    typeAndEnter(dialog->powerField(), QStringLiteral("2"));
    test::drainEvents();
    EXPECT_DOUBLE_EQ(setup().Pg, 2.0);
    EXPECT_DOUBLE_EQ(setup().Ug, 4.0);
    EXPECT_EQ(dialog->sourceLevelField()->text(), QStringLiteral("4.00"));
    EXPECT_EQ(dialog->powerField()->text(), QStringLiteral("2.00"));
    EXPECT_EQ(setup().setupChanged, 1);
    EXPECT_EQ(flags, std::vector<int>{0});
    // Enter moved on to the next field.
    EXPECT_TRUE(dialog->resistanceField()->hasFocus());
}

TEST_F(MeasureSetupDialogTest, SourceLevelSetsThePowerAndTheFormatFollows) {
    typeAndEnter(dialog->sourceLevelField(), QStringLiteral("2.83"));
    test::drainEvents();
    EXPECT_NEAR(setup().Pg, 1.0011125, 1e-12);
    EXPECT_EQ(dialog->powerField()->text(), QStringLiteral("1.00"));

    typeAndEnter(dialog->sourceLevelField(), QStringLiteral("0.6"));
    test::drainEvents();
    EXPECT_NEAR(setup().Pg, 0.045, 1e-15);
    EXPECT_EQ(dialog->powerField()->text(), QStringLiteral("4.50e-02"));

    typeAndEnter(dialog->sourceLevelField(), QStringLiteral("20"));
    test::drainEvents();
    EXPECT_EQ(dialog->sourceLevelField()->text(), QStringLiteral("20.0"));
    EXPECT_EQ(dialog->powerField()->text(), QStringLiteral("50.0"));
    EXPECT_EQ(flags.size(), 3u);
}

TEST_F(MeasureSetupDialogTest, OutOfRangeSourceLevelKeepsTheOldValue) {
    typeAndEnter(dialog->sourceLevelField(), QStringLiteral("1001"));
    test::drainEvents();
    EXPECT_EQ(beeps, 1);
    EXPECT_DOUBLE_EQ(setup().Ug, 2.83);
    EXPECT_EQ(dialog->sourceLevelField()->text(), QStringLiteral("2.83"));
    EXPECT_TRUE(flags.empty());
    EXPECT_EQ(setup().setupChanged, 0);
}

TEST_F(MeasureSetupDialogTest, ResistanceIsFormattedByItsSize) {
    typeAndEnter(dialog->resistanceField(), QStringLiteral("-50"));
    test::drainEvents();
    EXPECT_DOUBLE_EQ(setup().Rg, -50.0);
    EXPECT_EQ(dialog->resistanceField()->text(), QStringLiteral("-50.0"));
    typeAndEnter(dialog->resistanceField(), QStringLiteral("-0.05"));
    test::drainEvents();
    EXPECT_EQ(dialog->resistanceField()->text(), QStringLiteral("-5.00e-02"));
    typeAndEnter(dialog->resistanceField(), QStringLiteral("1"));
    test::drainEvents();
    EXPECT_EQ(dialog->resistanceField()->text(), QStringLiteral("1.00"));
}

struct FormatCase {
    double value;
    const char* format;
};

class MeasureSetupFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(MeasureSetupFormatTest, FormatByMagnitude) {
    EXPECT_STREQ(TMeasureSetupDialog::valueFormat(GetParam().value), GetParam().format);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, MeasureSetupFormatTest,
                         ::testing::Values(FormatCase{0.0, "%3.2e"}, FormatCase{0.0999, "%3.2e"},
                                           FormatCase{0.1, "%3.2f"}, FormatCase{9.999, "%3.2f"},
                                           FormatCase{10.0, "%2.1f"}, FormatCase{125000.0, "%2.1f"},
                                           FormatCase{-0.0999, "%3.2e"}, FormatCase{-0.1, "%3.2f"},
                                           FormatCase{-10.0, "%2.1f"}));

TEST_F(MeasureSetupDialogTest, StartAndStopKeepTenHertzApart) {
    typeAndEnter(dialog->startField(), QStringLiteral("1990"));
    test::drainEvents();
    EXPECT_EQ(setup().startFrequency, 1990);
    EXPECT_EQ(dialog->stopField()->entry().minimum(), 2000);

    typeAndEnter(dialog->stopField(), QStringLiteral("1999"));
    test::drainEvents();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(setup().stopFrequency, 2000);

    typeAndEnter(dialog->startField(), QStringLiteral("1991"));
    test::drainEvents();
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(setup().startFrequency, 1990);

    typeAndEnter(dialog->stopField(), QStringLiteral("20000"));
    test::drainEvents();
    EXPECT_EQ(setup().stopFrequency, 20000);
    EXPECT_EQ(dialog->startField()->entry().maximum(), 19990);
    typeAndEnter(dialog->stopField(), QStringLiteral("20001"));
    test::drainEvents();
    EXPECT_EQ(beeps, 3);
    EXPECT_EQ(flags, (std::vector<int>{0, 0}));
}

TEST_F(MeasureSetupDialogTest, PointsComeInTens) {
    typeAndEnter(dialog->pointsField(), QStringLiteral("247"));
    test::drainEvents();
    EXPECT_EQ(setup().pointCount, 250);
    EXPECT_EQ(dialog->pointsField()->text(), QStringLiteral("250"));
    typeAndEnter(dialog->pointsField(), QStringLiteral("4"));
    test::drainEvents();
    EXPECT_EQ(beeps, 1) << "snaps to 0, below 10";
    EXPECT_EQ(setup().pointCount, 250);
}

TEST_F(MeasureSetupDialogTest, AutorangeDisablesTheRange) {
    dialog->autorangeBox()->click();
    EXPECT_EQ(setup().autorange, 1);
    EXPECT_EQ(setup().rangeDb, 0);
    EXPECT_FALSE(dialog->rangeField()->isEnabled());
    dialog->autorangeBox()->click();
    EXPECT_EQ(setup().autorange, 0);
    EXPECT_EQ(setup().rangeDb, 30);
    EXPECT_TRUE(dialog->rangeField()->isEnabled());
    EXPECT_EQ(dialog->rangeField()->text(), QStringLiteral("30"));
    EXPECT_EQ(flags, (std::vector<int>{0, 0}));

    typeAndEnter(dialog->rangeField(), QStringLiteral("81"));
    test::drainEvents();
    EXPECT_EQ(beeps, 1);
    typeAndEnter(dialog->rangeField(), QStringLiteral("80"));
    test::drainEvents();
    EXPECT_EQ(setup().rangeDb, 80);
}

TEST_F(MeasureSetupDialogTest, ClearingCalculateImmediatelyCarriesTheFlag) {
    dialog->calculateImmediatelyBox()->click();
    EXPECT_EQ(setup().calculateImmediately, 0);
    dialog->calculateImmediatelyBox()->click();
    EXPECT_EQ(setup().calculateImmediately, 1);
    dialog->hidePhaseBox()->click();
    EXPECT_EQ(setup().hidePhase, 1);
    EXPECT_EQ(flags, (std::vector<int>{1, 0, 0}));
    EXPECT_EQ(setup().setupChanged, 1);
}

TEST_F(MeasureSetupDialogTest, PreferencesSaveAndDefaults) {
    ASSERT_NE(dialog->savePreferencesAction(), nullptr);
    EXPECT_EQ(dialog->savePreferencesAction()->text(), QStringLiteral("&Save"));
    EXPECT_EQ(dialog->setDefaultAction()->text(), QStringLiteral("Set to &default"));

    test::TempDir dir;
    setPreferencesDirectory(dir.path() + "/");
    typeAndEnter(dialog->powerField(), QStringLiteral("2"));
    test::drainEvents();
    dialog->savePreferencesAction()->trigger();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(test::readAll(dir.file("msetup.prf")).size(), MeasureSetup::kRecordSize);

    // Set to default: the file is not what counts, the table's values are.
    dialog->setDefaultAction()->trigger();
    EXPECT_DOUBLE_EQ(setup().Ug, 2.83);
    EXPECT_EQ(dialog->sourceLevelField()->text(), QStringLiteral("2.83"));
    EXPECT_EQ(dialog->powerField()->text(), QStringLiteral("1.00"));
    EXPECT_EQ(flags, (std::vector<int>{0, 0}));
}

TEST_F(MeasureSetupDialogTest, SaveFailureIsReported) {
    test::TempDir dir;
    setPreferencesDirectory(dir.path() + "/missing/");
    dialog->savePreferencesAction()->trigger();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Error");
    EXPECT_EQ(ui.lastMessage().text, "Could not save to file 'msetup.prf'");
}

TEST_F(MeasureSetupDialogTest, NextWindowOpensWhereTheLastClosed) {
    dialog->move(123, 145);
    const QPoint where = dialog->pos();
    dialog->cancelCommand();
    test::drainEvents();
    ASSERT_FALSE(dialog->isVisible());
    ASSERT_TRUE(TMeasureSetupDialog::rememberedPosition().has_value());
    EXPECT_EQ(*TMeasureSetupDialog::rememberedPosition(), where);
    TMeasureSetupDialog next(nullptr, setup(), ui);
    EXPECT_EQ(next.pos(), where);
}

} // namespace
} // namespace harlox
