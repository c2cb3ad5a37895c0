#include "gui/net_dialog.h"
#include "gui/net_a_driver_dialog.h"
#include "gui/net_driver_dialog.h"

#include "filter/general.h"
#include "filter/net.h"
#include "filter/net_a.h"
#include "filter/xover.h"
#include "gui/dbl_edit.h"
#include "dialog_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

namespace harlox {
namespace {

constexpr int kSimple2Way = 0;
constexpr int kPassive2Way = 4;
constexpr int kActive2Way = 9;
const std::string kMeasured = std::string(HARLOX_SHARED_DATA_DIR) + "/measured/";

class NetDialogTest : public test::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        project(kSimple2Way);
    }
    void TearDown() override {
        dialog.reset();
        xover.reset();
        DialogTest::TearDown();
    }
    void project(int variant) {
        dialog.reset();
        xover = std::make_unique<TXover>(general, variant, ui);
        ui.runPosted();
    }
    template <class D, class Net> D* open(Net& net) {
        dialog = std::make_unique<D>(nullptr, net, ui);
        test::showActive(dialog.get());
        return static_cast<D*>(dialog.get());
    }
    // Types into the field and presses Enter; the posted work stays queued for the test to count.
    void type(QLineEdit* f, const char* text) {
        test::typeInto(f, QString::fromLatin1(text));
        QTest::keyClick(f, Qt::Key_Return);
        test::drainEvents();
    }
    void click(QAbstractButton* b) {
        // A check box or radio button only takes clicks on its indicator and text.
        const bool box = qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b);
        QTest::mouseClick(b, Qt::LeftButton, {}, box ? QPoint(6, b->height() / 2) : QPoint());
        test::drainEvents();
    }
    // How many recalculations the edits posted; runs them.
    std::size_t posted() {
        const std::size_t n = ui.posted.size();
        ui.runPosted();
        return n;
    }
    TNet& simple(int section) { return *xover->SimpleNet(section); }

    TGeneral general;
    std::unique_ptr<TXover> xover;
    std::unique_ptr<TBaseDialog> dialog;
};

TEST_F(NetDialogTest, EachSectionShowsItsSlopesAndLadderWithTheDesignedValues) {
    const struct {
        int section;
        bool low, high;
        const char* ladder;
    } cases[] = {
        {0, true, false, "L11 C12 L13 C14"},
        {1, true, true, "L21 C21 L22 C22 L23 C23 L24 C24"},
        {2, false, true, "C31 L32 C33 L34"},
    };
    for (const auto& c : cases) {
        auto* d = open<TNetDialog>(simple(c.section));
        EXPECT_EQ(d->orderList(true) != nullptr, c.low) << c.section;
        EXPECT_EQ(d->orderList(false) != nullptr, c.high) << c.section;
        QStringList all = QString::fromLatin1(c.ladder).split(QLatin1Char(' '));
        const int s = c.section + 1;
        for (const char* n : {"R5", "L5", "C5", "R6", "R7", "R8", "C8"})
            all << QStringLiteral("%1%2%3").arg(QLatin1Char(n[0])).arg(s).arg(QLatin1Char(n[1]));
        EXPECT_EQ(d->componentNames(), all) << c.section;
    }
    // The bass default: 4th order at 500 Hz into 8 ohm, and the Zobel for Re and Le.
    auto* d = open<TNetDialog>(simple(0));
    EXPECT_EQ(d->orderList(true)->currentText(), QStringLiteral("N=4"));
    EXPECT_EQ(d->cutoffField(true)->text(), QStringLiteral("500"));
    EXPECT_EQ(d->componentField(QStringLiteral("L11"))->text(), QStringLiteral("3.899;0.5"));
    EXPECT_EQ(d->componentField(QStringLiteral("C14"))->text(), QStringLiteral("15.24"));
    EXPECT_EQ(d->componentField(QStringLiteral("R18"))->text(), QStringLiteral("8.0"));
    EXPECT_EQ(d->componentField(QStringLiteral("C18"))->text(), QStringLiteral("15.6"));
}

TEST_F(NetDialogTest, OrderAndCutOffWaitForCalcWhichRedesignsAndShowsTheValues) {
    auto* d = open<TNetDialog>(simple(0));
    QComboBox* order = d->orderList(true);
    order->setFocus();
    QTest::keyClick(order, Qt::Key_Up);
    QTest::keyClick(order, Qt::Key_Up);
    type(d->cutoffField(true), "1000");
    EXPECT_EQ(simple(0).lowPassOrder, 2);
    EXPECT_EQ(simple(0).lowPassCutoff, 1000.0);
    EXPECT_EQ(posted(), 0u) << "only stored until Calc";
    EXPECT_GT(simple(0).Branch(2).Inductor().value, 0.0);

    click(d->calcButton(true));
    EXPECT_EQ(posted(), 1u);
    // g1 = 1.414, g2 = 0.707 at 1 kHz; the elements above the order are gone.
    EXPECT_EQ(d->componentField(QStringLiteral("L11"))->text(), QStringLiteral("1.800;0.5"));
    EXPECT_EQ(d->componentField(QStringLiteral("C12"))->text(), QStringLiteral("14.07"));
    EXPECT_EQ(d->componentField(QStringLiteral("L13"))->text(), QStringLiteral("0.000;0.5"));
    EXPECT_EQ(d->componentField(QStringLiteral("C14"))->text(), QStringLiteral("0.00"));
    EXPECT_EQ(simple(0).Branch(2).GetType(), TBranch::None);
}

TEST_F(NetDialogTest, ComponentEntriesGoIntoTheModelAndRetypeTheBranch) {
    auto* d = open<TNetDialog>(simple(0));
    TNet& net = simple(0);
    const struct {
        const char* name;
        const char* text;
        int branch;
        CompKind kind;
        double value;
        int type;
    } cases[] = {
        {"L11", "2,5;0.8", 0, CompKind::Inductor, 0.0025, TBranch::L},
        {"C12", "0", 1, CompKind::Capacitor, 0.0, TBranch::None},
        {"R15", "4.7", TNet::kNotch, CompKind::Resistor, 4.7, TBranch::R},
        {"C15", "10", TNet::kNotch, CompKind::Capacitor, 10e-6, TBranch::RparC},
        {"R16", "3", TNet::kAttenuatorSeries, CompKind::Resistor, 3.0, TBranch::R},
    };
    for (const auto& c : cases) {
        type(d->componentField(QString::fromLatin1(c.name)), c.text);
        EXPECT_EQ(posted(), 1u) << c.name;
        EXPECT_NEAR(net.Branch(c.branch).Component(c.kind).value, c.value, 1e-12) << c.name;
        EXPECT_EQ(net.Branch(c.branch).GetType(), c.type) << c.name;
    }
    EXPECT_EQ(net.Branch(0).Inductor().seriesResistance, 0.8);

    // Out of range, or a series resistance the field cannot hold: a beep, nothing changes.
    for (const char* text : {"2000", "-1", "3;20"}) {
        TDblEdit* f = d->componentField(QStringLiteral("L13"));
        const QString before = f->text();
        const double value = net.Branch(2).Inductor().value;
        beeps = 0;
        type(f, text);
        EXPECT_EQ(beeps, 1) << text;
        EXPECT_EQ(f->text(), before) << text;
        EXPECT_EQ(net.Branch(2).Inductor().value, value) << text;
        EXPECT_EQ(posted(), 0u) << text;
    }
}

TEST_F(NetDialogTest, AttenuatorZobelAndDisconnect) {
    auto* d = open<TNetDialog>(simple(2));
    TNet& net = simple(2);
    type(d->attenuationField(), "6");
    EXPECT_EQ(posted(), 0u);
    click(d->attenuatorCalcButton());
    EXPECT_EQ(posted(), 1u);
    EXPECT_EQ(d->componentField(QStringLiteral("R36"))->text(), QStringLiteral("4.0"));
    EXPECT_EQ(d->componentField(QStringLiteral("R37"))->text(), QStringLiteral("8.0"));
    EXPECT_NEAR(net.Branch(TNet::kAttenuatorShunt).Resistor().value, 8.04, 0.01);

    type(d->componentField(QStringLiteral("R38")), "0");
    EXPECT_EQ(net.Branch(TNet::kZobel).GetType(), TBranch::None);
    click(d->zobelCalcButton());
    EXPECT_EQ(d->componentField(QStringLiteral("R38"))->text(), QStringLiteral("8.0"));
    EXPECT_EQ(net.Branch(TNet::kZobel).GetType(), TBranch::RplusC);

    posted();
    const double connected = net.GainDb()[400];
    click(d->disconnectBox());
    EXPECT_EQ(net.disconnect, 1);
    EXPECT_EQ(posted(), 1u);
    EXPECT_LT(net.GainDb()[400], connected - 200.0);
}

TEST_F(NetDialogTest, DriverDialogEditsTheChosenUnitAndLoadsCurves) {
    auto* d = open<TDriverDialog>(simple(0));
    TNet& net = simple(0);
    EXPECT_FALSE(d->driverButton(1)->isEnabled());
    EXPECT_EQ(d->fileNameField(true)->text(), QStringLiteral("Not in use"));

    type(d->field(TDriverDialog::LeControl), "2");
    EXPECT_EQ(net.Le, 0.002);
    EXPECT_EQ(posted(), 1u);
    beeps = 0;
    type(d->field(TDriverDialog::ReControl), "0.05");
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(net.Re, 8.0);

    click(d->countButton(2));
    click(d->seriesButton());
    EXPECT_EQ(net.driverCount, 2);
    EXPECT_EQ(net.driversInSeries, 1);
    click(d->driverButton(1));
    ASSERT_EQ(d->driver(), 1);
    type(d->field(TDriverDialog::DxControl), "100");
    type(d->field(TDriverDialog::SplScalingControl), "6");
    EXPECT_EQ(net.posX[1], 0.1);
    EXPECT_EQ(net.posX[0], 0.0);
    EXPECT_NEAR(net.splScaling[1], std::pow(10.0, 0.3), 1e-12);
    posted();

    ui.files.push_back(std::nullopt);
    click(d->browseButton(true));
    EXPECT_EQ(posted(), 0u) << "Cancel changes nothing";
    ui.files.push_back(kMeasured + "DCS255-4@0.frd");
    click(d->browseButton(true));
    EXPECT_EQ(posted(), 1u);
    EXPECT_TRUE(net.Spl(1).Loaded());
    EXPECT_FALSE(net.Spl(0).Loaded());
    EXPECT_TRUE(d->fileNameField(true)->text().endsWith(QStringLiteral("DCS255-4@0.frd")));
    // Back to one unit: the fields show driver 1 again.
    click(d->countButton(1));
    EXPECT_EQ(d->driver(), 0);
    EXPECT_EQ(d->field(TDriverDialog::DxControl)->text(), QStringLiteral("0.0"));
}

TEST_F(NetDialogTest, AdvancedDriverParametersWithSameAsDriver1) {
    project(kPassive2Way);
    TNetA& net = *xover->AdvancedNet(0);
    auto* d = open<TNetADriverDialog>(net);
    EXPECT_FALSE(d->driverButton(1)->isEnabled());

    QComboBox* count = d->countList();
    count->setFocus();
    QTest::keyClick(count, Qt::Key_Down);
    QTest::keyClick(count, Qt::Key_Down);
    test::drainEvents();
    EXPECT_EQ(net.driverCount, 3);
    EXPECT_TRUE(d->driverButton(2)->isEnabled());
    EXPECT_FALSE(d->driverButton(3)->isEnabled());

    // Driver 2 starts on driver 1's curves: no browsing until that is unticked.
    click(d->driverButton(1));
    EXPECT_TRUE(d->sameBox(false)->isChecked());
    EXPECT_FALSE(d->browseButton(false)->isEnabled());
    EXPECT_EQ(d->fileNameField(false)->text(), QStringLiteral("Same as driver 1"));
    posted();
    click(d->sameBox(false));
    EXPECT_EQ(net.impedanceSame[1], 0);
    EXPECT_EQ(posted(), 1u);
    EXPECT_TRUE(d->browseButton(false)->isEnabled());
    EXPECT_EQ(d->fileNameField(false)->text(), QStringLiteral("Not in use"));
    ui.files.push_back(kMeasured + "DCS255-4.zma");
    click(d->browseButton(false));
    EXPECT_EQ(posted(), 1u);
    EXPECT_TRUE(net.ImpedanceData(1).Loaded());
    EXPECT_TRUE(d->fileNameField(false)->text().endsWith(QStringLiteral("DCS255-4.zma")));

    type(d->field(TNetADriverDialog::RadiusControl), "30");
    type(d->field(TNetADriverDialog::DzControl), "-20");
    type(d->field(TNetADriverDialog::ImpedanceScalingControl), "1.5");
    EXPECT_EQ(net.pistonRadius[1], 0.03);
    EXPECT_EQ(net.dZ[1], -0.02);
    EXPECT_EQ(net.impedanceScaling[1], 1.5);
    EXPECT_EQ(net.pistonRadius[0], 0.05);

    // The pairs connection always uses four units.
    d->connectionList()->setFocus();
    QTest::keyClick(d->connectionList(), Qt::Key_End);
    test::drainEvents();
    EXPECT_EQ(net.connection, TNetA::PairsConnection);
    EXPECT_TRUE(d->driverButton(3)->isEnabled());
    EXPECT_FALSE(d->countList()->isEnabled());
}

TEST_F(NetDialogTest, ActiveNetSaysWhichLoadItSimulates) {
    project(kActive2Way);
    auto* d = open<TNetADriverDialog>(*xover->AdvancedNet(0));
    EXPECT_EQ(d->fileNameField(false)->text(), QStringLiteral("Not in use, 8.00 ohm load simulated"));
    EXPECT_TRUE(d->curveGroup(false)->title().contains(QStringLiteral("Re load")));
    type(d->field(TNetADriverDialog::ReControl), "4");
    EXPECT_EQ(d->fileNameField(false)->text(), QStringLiteral("Not in use, 4.00 ohm load simulated"));
}

} // namespace
} // namespace harlox
