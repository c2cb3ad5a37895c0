#include "gui/closed_dialog.h"

#include "box/box_object.h"
#include "box/closed_box.h"
#include "gui/dbl_edit.h"
#include "gui/long_edit.h"
#include "dialog_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace harlox {
namespace {

using ClosedDialogTest = test::ProjectDialogTest<TClosedBox, TClosedDialog>;

TEST_F(ClosedDialogTest, VolumeEnterRecalculatesAndMovesOnAndRefusesOutOfRange) {
    BoxVolumeFields& fields = dialog->boxFields();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Closed box"));
    EXPECT_EQ(dialog->helpFile(), QStringLiteral("closed.txt"));
    ASSERT_TRUE(fields.volumeField()->hasFocus());
    EXPECT_EQ(fields.volumeField()->text(), QStringLiteral("10.0"));
    const double before = project->SPL[0];

    typeAndEnter(fields.volumeField(), QStringLiteral("55"));
    EXPECT_TRUE(fields.qlField()->hasFocus());
    settle();
    EXPECT_DOUBLE_EQ(project->box().Vb, 0.055);
    EXPECT_EQ(project->box().boxChanged, 0) << "the calculation ran and cleared the mark";
    EXPECT_NE(project->SPL[0], before);
    EXPECT_EQ(beeps, 0);

    enter(fields.volumeField(), QStringLiteral("10001"));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(fields.volumeField()->text(), QStringLiteral("55.0"));
    EXPECT_DOUBLE_EQ(project->box().Vb, 0.055);
}

TEST_F(ClosedDialogTest, LossAndFillFieldsReachTheirMembers) {
    enter(dialog->boxFields().qlField(), QStringLiteral("7.5"));
    enter(dialog->boxFields().qbField(), QStringLiteral("3"));
    enter(dialog->boxFields().fillField(), QStringLiteral("100"));
    EXPECT_DOUBLE_EQ(project->box().Ql, 7.5);
    EXPECT_DOUBLE_EQ(project->box().Qb, 3.0);
    EXPECT_EQ(project->box().fill, 100);
}

TEST_F(ClosedDialogTest, ChangeHookReplacesThePostedNotification) {
    std::vector<int> codes;
    TClosedDialog hooked(nullptr, *project, ui, [&codes](int code) { codes.push_back(code); });
    test::showActive(&hooked);
    typeAndEnter(hooked.boxFields().fillField(), QStringLiteral("40"));
    test::drainEvents();
    EXPECT_EQ(codes, std::vector<int>{0});
    EXPECT_TRUE(ui.posted.empty());
    EXPECT_EQ(project->box().boxChanged, 1) << "marked changed, waiting for the project";
}

} // namespace
} // namespace harlox
