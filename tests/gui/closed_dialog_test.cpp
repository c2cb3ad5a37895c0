#include "gui/closed_dialog.h"

#include "box/box_object.h"
#include "box/closed_box.h"
#include "gui/dbl_edit.h"
#include "gui/long_edit.h"
#include "dialog_test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace harlox {
namespace {

class ClosedDialogTest : public test::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        project = std::make_unique<TClosedBox>(ui);
        project->front().SetDefaultUnit();
        project->Calculate(0);
        ui.runPosted();
        ui.messages.clear();
        dialog = std::make_unique<TClosedDialog>(nullptr, *project, ui);
        test::showActive(dialog.get());
    }
    void TearDown() override {
        dialog.reset();
        project.reset();
        DialogTest::TearDown();
    }

    [[nodiscard]] BoxVolumeFields& fields() const { return dialog->boxFields(); }

    std::unique_ptr<TClosedBox> project;
    std::unique_ptr<TClosedDialog> dialog;
};

TEST_F(ClosedDialogTest, BoxVolumeEnterRecalculatesAndMovesOn) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Closed box"));
    EXPECT_EQ(dialog->helpFile(), QStringLiteral("closed.txt"));
    ASSERT_TRUE(fields().volumeField()->hasFocus());
    EXPECT_EQ(fields().volumeField()->text(), QStringLiteral("10.0"));
    const double before = project->SPL[0];

    typeAndEnter(fields().volumeField(), QStringLiteral("55"));
    // Enter stepped to the next field; the value is committed, the notification queued.
    EXPECT_TRUE(fields().qlField()->hasFocus());
    settle();

    EXPECT_DOUBLE_EQ(project->box().Vb, 0.055);
    EXPECT_EQ(project->box().boxChanged, 0) << "the calculation ran and cleared the mark";
    EXPECT_TRUE(project->isChanged());
    EXPECT_NE(project->SPL[0], before);

    // The same project built directly gives the same curve.
    test::ScriptedUiHost otherUi;
    TClosedBox reference(otherUi);
    reference.front().SetDefaultUnit();
    reference.setVb(0.055);
    reference.Calculate(0);
    for (int i = 0; i < project->pointCount(); ++i)
        EXPECT_DOUBLE_EQ(project->SPL[static_cast<std::size_t>(i)],
                         reference.SPL[static_cast<std::size_t>(i)])
            << i;
    EXPECT_EQ(beeps, 0);
}

TEST_F(ClosedDialogTest, OutOfRangeVolumeIsRefusedWithABeep) {
    for (const char* text : {"10001", "0.05"}) {
        typeAndEnter(fields().volumeField(), QString::fromLatin1(text));
        settle();
        EXPECT_EQ(fields().volumeField()->text(), QStringLiteral("10.0")) << text;
    }
    EXPECT_EQ(beeps, 2);
    EXPECT_DOUBLE_EQ(project->box().Vb, 0.01);
    EXPECT_TRUE(ui.posted.empty());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ClosedDialogTest, LimitsOfTheVolumeAreAccepted) {
    typeAndEnter(fields().volumeField(), QStringLiteral("0.1"));
    settle();
    EXPECT_DOUBLE_EQ(project->box().Vb, 0.0001);
    typeAndEnter(fields().volumeField(), QStringLiteral("10000"));
    settle();
    EXPECT_DOUBLE_EQ(project->box().Vb, 10.0);
    EXPECT_EQ(fields().volumeField()->text(), QStringLiteral("10000.0"));
    EXPECT_EQ(beeps, 0);
}

// One row per loss and fill entry: what is typed, whether it is taken, where it lands.
struct LossCase {
    const char* name;
    std::function<QLineEdit*(BoxVolumeFields&)> field;
    const char* text;
    bool accepted;
    std::function<double(const TBoxObject&)> member;
    double expected; // the member afterwards
    const char* shown;
};

class ClosedDialogLossTest : public ClosedDialogTest, public ::testing::WithParamInterface<LossCase> {};

TEST_P(ClosedDialogLossTest, EntryReachesTheBox) {
    const LossCase& c = GetParam();
    typeAndEnter(c.field(fields()), QString::fromLatin1(c.text));
    settle();
    EXPECT_DOUBLE_EQ(c.member(project->box()), c.expected);
    EXPECT_EQ(c.field(fields())->text(), QString::fromLatin1(c.shown));
    EXPECT_EQ(beeps, c.accepted ? 0 : 1);
    EXPECT_EQ(project->box().boxChanged, 0); // recalculated (accepted) or never marked (refused)
}

const auto kQl = [](BoxVolumeFields& f) -> QLineEdit* { return f.qlField(); };
const auto kQb = [](BoxVolumeFields& f) -> QLineEdit* { return f.qbField(); };
const auto kFill = [](BoxVolumeFields& f) -> QLineEdit* { return f.fillField(); };
const auto kQlOf = [](const TBoxObject& b) { return b.Ql; };
const auto kQbOf = [](const TBoxObject& b) { return b.Qb; };
const auto kFillOf = [](const TBoxObject& b) { return static_cast<double>(b.fill); };

INSTANTIATE_TEST_SUITE_P(
    Fields, ClosedDialogLossTest,
    ::testing::Values(LossCase{"QlInRange", kQl, "7,5", true, kQlOf, 7.5, "7.5"},
                      LossCase{"QlBelowRange", kQl, "2.9", false, kQlOf, 15.0, "15.0"},
                      LossCase{"QbLowest", kQb, "3", true, kQbOf, 3.0, "3.0"},
                      LossCase{"QbAboveRange", kQb, "15.1", false, kQbOf, 15.0, "15.0"},
                      LossCase{"FillFull", kFill, "100", true, kFillOf, 100.0, "100"},
                      LossCase{"FillAboveRange", kFill, "101", false, kFillOf, 0.0, "0"}),
    [](const ::testing::TestParamInfo<LossCase>& info) { return std::string(info.param.name); });

TEST_F(ClosedDialogTest, ChangeHookReplacesThePostedNotification) {
    std::vector<int> codes;
    auto hooked =
        std::make_unique<TClosedDialog>(nullptr, *project, ui, [&codes](int code) { codes.push_back(code); });
    test::showActive(hooked.get());
    typeAndEnter(hooked->boxFields().fillField(), QStringLiteral("40"));
    test::drainEvents();
    EXPECT_EQ(codes, std::vector<int>{0});
    EXPECT_TRUE(ui.posted.empty());
    EXPECT_EQ(project->box().fill, 40);
    EXPECT_EQ(project->box().boxChanged, 1) << "marked changed, waiting for the project";
}

} // namespace
} // namespace harlox
