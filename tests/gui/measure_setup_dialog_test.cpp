#include "gui/measure_setup_dialog.h"

#include "core/measure_setup.h"
#include "core/program_dir.h"
#include "gui/dbl_edit.h"
#include "gui/long_edit.h"
#include "dialog_test_support.h"
#include "temp_dir.h"

#include <QAction>
#include <QCheckBox>

#include <gtest/gtest.h>

#include <memory>
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
        setPreferencesDirectory("");
        DialogTest::TearDown();
    }

    static MeasureSetup& setup() { return sharedSetup(); }

    std::vector<int> flags;
    std::unique_ptr<TMeasureSetupDialog> dialog;
};

TEST_F(MeasureSetupDialogTest, PowerAndSourceLevelSetEachOtherInTheirFormat) {
    EXPECT_EQ(dialog->resistanceField()->text(), QStringLiteral("0.00e+00"));
    enter(dialog->powerField(), QStringLiteral("50"));
    EXPECT_DOUBLE_EQ(setup().Ug, 20.0);
    EXPECT_EQ(dialog->sourceLevelField()->text(), QStringLiteral("20.0"));
    EXPECT_EQ(setup().setupChanged, 1);
    EXPECT_EQ(flags, std::vector<int>{0});

    enter(dialog->sourceLevelField(), QStringLiteral("0.6"));
    EXPECT_NEAR(setup().Pg, 0.045, 1e-15);
    EXPECT_EQ(dialog->powerField()->text(), QStringLiteral("4.50e-02"));
    enter(dialog->resistanceField(), QStringLiteral("-0.05"));
    EXPECT_DOUBLE_EQ(setup().Rg, -0.05);
}

TEST_F(MeasureSetupDialogTest, StartAndStopKeepTenHertzApart) {
    enter(dialog->startField(), QStringLiteral("1990"));
    enter(dialog->stopField(), QStringLiteral("1999"));
    enter(dialog->stopField(), QStringLiteral("20000"));
    enter(dialog->startField(), QStringLiteral("19991"));
    EXPECT_EQ(setup().startFrequency, 1990);
    EXPECT_EQ(setup().stopFrequency, 20000);
    EXPECT_EQ(beeps, 2);
}

TEST_F(MeasureSetupDialogTest, CheckBoxesReachTheSetup) {
    dialog->autorangeBox()->click();
    EXPECT_FALSE(dialog->rangeField()->isEnabled());
    dialog->autorangeBox()->click();
    EXPECT_EQ(setup().rangeDb, 30);
    // Only clearing "Calculate immediately" carries the flag.
    dialog->calculateImmediatelyBox()->click();
    EXPECT_EQ(setup().calculateImmediately, 0);
    EXPECT_EQ(flags, (std::vector<int>{0, 0, 1}));
}

TEST_F(MeasureSetupDialogTest, PreferencesSaveAndDefaults) {
    test::TempDir dir;
    setPreferencesDirectory(dir.path() + "/missing/");
    dialog->savePreferencesAction()->trigger();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Error");
    EXPECT_EQ(ui.lastMessage().text, "Could not save to file 'msetup.prf'");

    setPreferencesDirectory(dir.path() + "/");
    enter(dialog->powerField(), QStringLiteral("2"));
    dialog->savePreferencesAction()->trigger();
    EXPECT_EQ(test::readAll(dir.file("msetup.prf")).size(), MeasureSetup::kRecordSize);

    // Set to default: the table's values, not the file's.
    dialog->setDefaultAction()->trigger();
    EXPECT_DOUBLE_EQ(setup().Ug, 2.83);
    EXPECT_EQ(dialog->powerField()->text(), QStringLiteral("1.00"));
}

} // namespace
} // namespace harlox
