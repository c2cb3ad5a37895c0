#include "gui/net_a_dialog.h"

#include "filter/general.h"
#include "filter/net_a.h"
#include "filter/xover.h"
#include "gui/branch_type_dialogs.h"
#include "gui/net_opt_dialog.h"
#include "dialog_test_support.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

constexpr int kPassive2Way = 4;
constexpr int kActive2Way = 9;

// Net 1 of a two-way project in its window; a branch type dialog is answered with `pick`
// (a type, or -1 for Cancel) and leaves its caption and first selection behind.
class NetADialogTest : public test::DialogTest {
protected:
    void open(int variant) {
        delete dialog.data();
        xover = std::make_unique<TXover>(general, variant, ui);
        ui.runPosted();
        dialog = new TNetADialog(nullptr, net(), ui, [this](QDialog& d) {
            auto* typeDialog = dynamic_cast<TBranchTypeDialog*>(&d);
            if (!typeDialog) {
                shown = {d.windowTitle(), -1};
                return TBaseDialog::ResultOk;
            }
            TBranchTypeDialog& types = *typeDialog;
            shown = {types.windowTitle(), types.selectedType()};
            if (pick < 0) return TBaseDialog::ResultCancel;
            types.selectType(pick);
            return TBaseDialog::ResultOk;
        });
        test::showActive(dialog.data());
    }
    void TearDown() override {
        delete dialog.data();
        DialogTest::TearDown();
    }
    TNetA& net() { return *xover->AdvancedNet(0); }
    QListWidget* list() { return dialog->branchList(); }
    int rowOf(const std::string& line) {
        for (int r = 0; r < list()->count(); ++r)
            if (dialog->lineAt(r) == line) return r;
        return -1;
    }
    void select(const std::string& line) {
        ASSERT_GE(rowOf(line), 0) << line;
        list()->setFocus();
        list()->setCurrentRow(rowOf(line));
    }

    TGeneral general;
    std::unique_ptr<TXover> xover;
    QPointer<TNetADialog> dialog;
    int pick = -1;
    std::pair<QString, int> shown;
};

TEST_F(NetADialogTest, NewPassiveNetListsTheEmptyLadderAndOneLink) {
    open(kPassive2Way);
    EXPECT_TRUE(dialog->testAttribute(Qt::WA_DeleteOnClose) && !dialog->gainField());
    const std::vector<std::string> lines = net().BranchListLines();
    ASSERT_EQ(list()->count(), static_cast<int>(lines.size()));
    for (int row = 0; row < list()->count(); ++row)
        EXPECT_EQ(dialog->lineAt(row), lines[static_cast<std::size_t>(row)]) << row;
    EXPECT_FALSE(dialog->valueField()->isEnabled());
}

TEST_F(NetADialogTest, ModifyBranchAppliesTheChosenTypeOnlyOnOk) {
    open(kPassive2Way);
    TBranchA& b3 = net().Branch(2);
    b3.R1().optimise = 1;
    select("* Branch 03 *");
    for (int answer : {-1, 0}) { // Cancel, and OK on the present type
        pick = answer;
        EXPECT_FALSE(dialog->modifySelectedBranch());
        EXPECT_EQ(shown, std::make_pair(QStringLiteral("Passive branch type"), 0));
        EXPECT_TRUE(ui.posted.empty());
        EXPECT_EQ(b3.R1().optimise, 1);
    }
    // A double click on the type line opens the dialog too.
    pick = 4;
    const QRect r = list()->visualItemRect(list()->item(7));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(b3.R1().optimise, 0);
    EXPECT_EQ(ui.posted.size(), 1u);
    EXPECT_EQ(dialog->lineAt(7), " R1 + C");
    EXPECT_EQ(dialog->lineAt(8), "R1031\t1.00\tohm");
    EXPECT_EQ(list()->item(8)->text(), QStringLiteral("R1031       1.00 ohm"));
    EXPECT_EQ(list()->currentRow(), 7);
    EXPECT_EQ(dialog->infoField()->text(), QStringLiteral("Fc = 159155 Hz"));
}

TEST_F(NetADialogTest, ArrowKeysStepTheSelectedComponentInPlace) {
    open(kPassive2Way);
    net().Branch(1).SetType(2);
    net().Branch(0).SetType(1);
    net().Branch(0).R1().SetValue(0.0101);
    dialog->refresh();
    select("C1021\t1.000\tuF");
    const int row = list()->currentRow();
    for (int i = 0; i < 14; ++i)
        QTest::keyClick(list(), Qt::Key_Right);
    EXPECT_EQ(dialog->lineAt(row), "C1021\t1.980\tuF");
    EXPECT_EQ(list()->currentRow(), row);
    EXPECT_EQ(dialog->valueField()->text(), QStringLiteral("1.980"));
    EXPECT_EQ(ui.posted.size(), 14u);
    EXPECT_EQ(ui.beeps, 0);
    // At the lower limit the value stops there with a beep; the blank line only beeps.
    select("R1011\t0.01\tohm");
    QTest::keyClick(list(), Qt::Key_Left);
    EXPECT_DOUBLE_EQ(net().Branch(0).R1().Value(), 0.01);
    EXPECT_EQ(ui.beeps, 1);
    list()->setCurrentRow(list()->currentRow() + 1);
    QTest::keyClick(list(), Qt::Key_Right);
    EXPECT_EQ(ui.beeps, 2);
}

TEST_F(NetADialogTest, ActiveValuesAreTypedInTheShownUnitAndClamped) {
    open(kActive2Way);
    TBranchA& b = net().Branch(0);
    select("* Branch 01 *");
    pick = 1;
    EXPECT_TRUE(dialog->modifySelectedBranch());
    EXPECT_EQ(shown, std::make_pair(QStringLiteral("Active branch type"), 0));
    pick = -1; // opens on the present type
    EXPECT_FALSE(dialog->modifySelectedBranch());
    EXPECT_EQ(shown.second, 1);
    b.R1().SetValue(4700.0);
    dialog->refresh();
    select("R1011\t4.70\tkohm");
    EXPECT_EQ(dialog->valueField()->text(), QStringLiteral("4.70"));
    EXPECT_EQ(dialog->valueUnit()->text(), QStringLiteral("kohm"));
    EXPECT_EQ(dialog->valueName()->text(), QStringLiteral("R1011"));
    // An edit left by a click on another line still reaches its own component.
    test::typeInto(dialog->valueField(), QStringLiteral("2.2"));
    select(b.C1().ComponentLine());
    EXPECT_DOUBLE_EQ(b.R1().Value(), 2200.0);
    EXPECT_EQ(dialog->valueUnit()->text(), QStringLiteral("nF"));
    EXPECT_EQ(dialog->infoField()->text(), QStringLiteral("Fc=7234 Hz"));
    const struct {
        const char* text;
        double value;
        int beeps;
    } cases[] = {{"12", 12000.0, 0}, {"5e9", 1e12, 1}, {"0", 0.01, 1}};
    for (const auto& c : cases) {
        ui.beeps = 0;
        select(b.R1().ComponentLine());
        enter(dialog->valueField(), QString::fromLatin1(c.text));
        EXPECT_DOUBLE_EQ(b.R1().Value(), c.value) << c.text;
        EXPECT_EQ(ui.beeps, c.beeps) << c.text;
    }
    enter(dialog->gainField(), QStringLiteral("-6"));
    EXPECT_NEAR(net().activeGain, 0.50119, 1e-5);
    ui.posted.clear();
    dialog->disconnectBox()->click();
    EXPECT_EQ(net().disconnected, 1);
    EXPECT_EQ(ui.posted.size(), 1u);
}

TEST_F(NetADialogTest, TheOptimisationListAndTheToolsOfTheNet) {
    pick = 4; // " R1 + C"
    open(kPassive2Way);
    select("* Branch 01 *");
    ASSERT_TRUE(dialog->modifySelectedBranch());
    int r1 = -1;
    for (int r = 0; r < list()->count(); ++r)
        if (dialog->lineAt(r).rfind("R1011", 0) == 0) r1 = r;
    ASSERT_GE(r1, 0);
    list()->setCurrentRow(r1);
    dialog->optimisationAddButton()->click();
    ASSERT_EQ(dialog->optimisationList()->count(), 1);
    EXPECT_EQ(dialog->optimisationList()->item(0)->text(), QStringLiteral("R1011"));
    dialog->optimisationAddButton()->click();
    EXPECT_EQ(ui.lastMessage().text, "Item already selected");
    dialog->optimisationList()->setCurrentRow(0);
    dialog->optimisationRemoveButton()->click();
    EXPECT_EQ(dialog->optimisationList()->count(), 0);

    dialog->wizardButton()->click();
    EXPECT_EQ(shown.first, QStringLiteral("Advanced network wizard"));
    dialog->optimizeButton()->click();
    QPointer<TNetAOptDialog> optimiser = dialog->findChild<TNetAOptDialog*>();
    ASSERT_TRUE(optimiser);
    EXPECT_FALSE(dialog->optimizeButton()->isEnabled()) << "one optimiser a net";
    optimiser->close();
    test::drainEvents();
    EXPECT_FALSE(optimiser);
    EXPECT_TRUE(dialog->optimizeButton()->isEnabled());
}

} // namespace
} // namespace harlox
