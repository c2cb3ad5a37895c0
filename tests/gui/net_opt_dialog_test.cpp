#include "gui/net_opt_dialog.h"

#include "filter/general.h"
#include "filter/net_a.h"
#include "filter/net_optimiser.h"
#include "filter/xover.h"
#include "gui/diagram_view.h"
#include "gui/long_edit.h"
#include "gui/net_wizard_dialogs.h"
#include "dialog_test_support.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace harlox {
namespace {

const std::string kMeasured = std::string(HARLOX_SHARED_DATA_DIR) + "/measured/";

void screenshot(QWidget* w, const char* name) {
    if (const char* dir = std::getenv("HARLOX_SCREENSHOTS"))
        w->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QString::fromLatin1(name));
}

// A passive two-way project on measured woofer and tweeter curves.
class NetOptDialogTest : public test::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        if (!std::filesystem::exists(kMeasured + "DCS255-4@0.frd")) GTEST_SKIP() << "no measured curves";
        xover = std::make_unique<TXover>(general, 4, ui);
        for (int i = 0; i < 2; ++i) {
            TNetA& n = *xover->AdvancedNet(i);
            const std::string name = i == 0 ? "DCS255-4" : "ND25FA-4";
            n.SplData(0).SetFileName(kMeasured + name + "@0.frd");
            n.ImpedanceData(0).SetFileName(kMeasured + name + ".zma");
            ASSERT_TRUE(n.SplData(0).ReadCurve(nullptr));
            ASSERT_TRUE(n.ImpedanceData(0).ReadCurve(nullptr));
        }
        settle();
    }
    TNetA& woofer() { return *xover->AdvancedNet(0); }

    TGeneral general;
    std::unique_ptr<TXover> xover;
};

TEST_F(NetOptDialogTest, WizardThenOptimiserRunStopAndClose) {
    TNetAWizard wizard(nullptr, woofer(), ui);
    test::showActive(&wizard);
    enter(wizard.lpOrderField(), QStringLiteral("4"));
    wizard.insertionBox()->setCurrentIndex(3);
    wizard.calcButton()->click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Advanced network wizard");
    EXPECT_EQ(ui.lastMessage().text, "The filter needs 4 branches from Branch 7,\nonly 2 are left");
    EXPECT_EQ(woofer().Branch(6).type(), 0);
    wizard.insertionBox()->setCurrentIndex(0);
    enter(wizard.lpOrderField(), QStringLiteral("2"));
    enter(wizard.lpFcField(), QStringLiteral("2000"));
    enter(wizard.loadField(), QStringLiteral("4"));
    screenshot(&wizard, "net_passive_wizard.png");
    wizard.calcButton()->click();
    settle();
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(woofer().Branch(0).type(), 3);
    EXPECT_NEAR(woofer().Branch(0).L().Value(), 1.414 * 4 / (2 * M_PI * 2000), 1e-9);
    EXPECT_EQ(woofer().wizardLoad, 4.0);

    for (TCompA* c : OptimisableComponents(woofer()))
        ASSERT_TRUE(AddToOptimisationList(*c, ui));
    TNetAOptDialog dialog(nullptr, woofer(), *xover, ui);
    test::showActive(&dialog);
    EXPECT_EQ(dialog.componentList()->count(), 3);
    EXPECT_EQ(dialog.stepBar()->value(), 50);
    EXPECT_FALSE(dialog.stopButton()->isEnabled());
    // The target: LR4 at 2 kHz, compared over 100 Hz .. 10 kHz.
    enter(dialog.lpOrderField(), QStringLiteral("4"));
    enter(dialog.lpFcField(), QStringLiteral("2000"));
    dialog.lpTypeBox()->setCurrentIndex(1);
    enter(dialog.lowerField(), QStringLiteral("100"));
    enter(dialog.upperField(), QStringLiteral("10000"));
    EXPECT_EQ(woofer().targetLpOrder, 4);
    EXPECT_EQ(woofer().targetLpType, OptimiserTarget::Linkwitz);
    EXPECT_EQ(woofer().rangeLower, 100);
    const double before = *dialog.optimiser().Error();
    EXPECT_EQ(dialog.errorLabel()->text(), QString::fromStdString(strprintf("Error: %2.2f dB", before)));
    EXPECT_EQ(dialog.plot().curveCount(), 2);
    dialog.unfilteredBox()->setChecked(true);
    EXPECT_EQ(dialog.plot().curve(2).label, "Unfiltered");
    dialog.stepBar()->setValue(70);
    EXPECT_EQ(woofer().stepSize, 30);

    // Left arrow on the inductor line: one step down, within its limits.
    TCompA& L = woofer().Branch(0).L();
    const double l0 = L.Value();
    dialog.componentList()->setFocus();
    dialog.componentList()->setCurrentRow(1);
    QTest::keyClick(dialog.componentList(), Qt::Key_Left);
    EXPECT_NEAR(L.Value(), l0 * TCompA::kStepDown, 1e-15);

    dialog.startButton()->click();
    EXPECT_TRUE(woofer().OptimiserRunning());
    EXPECT_TRUE(dialog.timer()->isActive());
    EXPECT_FALSE(dialog.startButton()->isEnabled());
    // The passes come from the event loop: the window keeps answering in between.
    for (int i = 0; i < 200 && dialog.optimiser().Passes() < 10; ++i)
        QTest::qWait(1);
    EXPECT_GE(dialog.optimiser().Passes(), 10);
    screenshot(&dialog, "net_optimize.png");
    dialog.stopButton()->click();
    EXPECT_FALSE(woofer().OptimiserRunning());
    EXPECT_FALSE(dialog.timer()->isActive());
    EXPECT_LT(*dialog.optimiser().Error(), before);
    EXPECT_TRUE(xover->IsChanged());
    for (TCompA* c : OptimisationList(woofer()))
        EXPECT_TRUE(c->Value() >= c->minimum && c->Value() <= c->maximum);

    // Closing while running stops it and keeps the settings.
    dialog.startButton()->click();
    dialog.done(TBaseDialog::ResultCancel);
    EXPECT_FALSE(woofer().OptimiserRunning());
    EXPECT_FALSE(dialog.timer()->isActive());
    EXPECT_EQ(woofer().viewUnfiltered, 1);
}

TEST_F(NetOptDialogTest, ActiveWizardWritesTheSections) {
    TGeneral g;
    TXover active(g, 9, ui);
    TNetA& net = *active.AdvancedNet(0);
    TNetACWizard wizard(nullptr, net, ui);
    test::showActive(&wizard);
    EXPECT_EQ(wizard.insertionBox()->count(), 7);
    EXPECT_EQ(wizard.insertionBox()->itemText(6), QStringLiteral("Branch 7"));
    enter(wizard.orderField(), QStringLiteral("2"));
    enter(wizard.fcField(), QStringLiteral("50"));
    wizard.insertionBox()->setCurrentIndex(2);
    screenshot(&wizard, "net_active_wizard.png");
    wizard.calcButton()->click();
    EXPECT_EQ(net.Branch(2).type(), 3);
    EXPECT_EQ(net.Branch(2).R1().Value(), 470000.0);
    EXPECT_EQ(net.Branch(2).R2().Value(), 470000.0);
    wizard.kindGroup()->button(0)->click();
    enter(wizard.orderField(), QStringLiteral("3"));
    wizard.calcButton()->click();
    EXPECT_EQ(net.Branch(3).type(), 2); // the second section of a high-pass
    EXPECT_EQ(net.activeWizardLp, 0);
    EXPECT_TRUE(ui.messages.empty());
}

} // namespace
} // namespace harlox
