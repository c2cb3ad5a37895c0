#include "gui/brefl_dialog.h"

#include "box/bass_reflex_box.h"
#include "box/box_object.h"
#include "box/port_object.h"
#include "core/format.h"
#include "gui/closed_dialog.h"
#include "gui/dbl_edit.h"
#include "gui/long_edit.h"
#include "dialog_test_support.h"

#include <QCheckBox>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

namespace harlox {
namespace {

QString shown(const char* format, double v) {
    return QString::fromStdString(strprintf(format, v));
}

class BreflDialogTest : public test::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        project = std::make_unique<TBassReflexBox>(ui);
        project->front().SetDefaultUnit();
        project->Calculate(0);
        ui.runPosted();
        ui.messages.clear();
        dialog = std::make_unique<TBreflDialog>(nullptr, *project, ui);
        test::showActive(dialog.get());
    }
    void TearDown() override {
        dialog.reset();
        project.reset();
        DialogTest::TearDown();
    }

    TPortObject& port() { return project->port(); }

    std::unique_ptr<TBassReflexBox> project;
    std::unique_ptr<TBreflDialog> dialog;
};

TEST_F(BreflDialogTest, ShowsTheDefaultPort) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Bassreflex box"));
    EXPECT_EQ(dialog->helpFile(), QStringLiteral("brefl.txt"));
    EXPECT_EQ(dialog->lengthField()->text(), QStringLiteral("10.00"));
    EXPECT_EQ(dialog->diameterField()->text(), QStringLiteral("5.00"));
    EXPECT_EQ(dialog->flareRadiusField()->text(), QStringLiteral("inf."));
    EXPECT_EQ(dialog->maxDiameterField()->text(), QStringLiteral("5.00"));
    EXPECT_EQ(dialog->areaField()->text(), QStringLiteral("19.63"));
    EXPECT_EQ(dialog->tuningField()->text(), shown("%2.2f", port().fp));
    EXPECT_EQ(dialog->ventsField()->text(), QStringLiteral("1"));
    EXPECT_FALSE(dialog->nonLinearBox()->isChecked());
    EXPECT_TRUE(dialog->maxDiameterField()->isReadOnly());
}

TEST_F(BreflDialogTest, BoxVolumeRetunesThePort) {
    const double oldTuning = port().fp;
    typeAndEnter(dialog->boxFields().volumeField(), QStringLiteral("40"));
    settle();
    EXPECT_DOUBLE_EQ(project->box().Vb, 0.04);
    EXPECT_DOUBLE_EQ(port().Vbox, 0.04);
    // Four times the volume: half the tuning frequency.
    EXPECT_NEAR(port().fp, oldTuning / 2.0, 1e-9);
    EXPECT_EQ(dialog->tuningField()->text(), shown("%2.2f", port().fp));
    EXPECT_EQ(port().portChanged, 0) << "recalculated";
    EXPECT_EQ(project->box().boxChanged, 0);
}

TEST_F(BreflDialogTest, TuningNeedingANegativeLengthIsRefused) {
    const double L = port().L;
    const QString before = dialog->tuningField()->text();
    typeAndEnter(dialog->tuningField(), QStringLiteral("1000"));
    settle();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, "Port length < 0");
    EXPECT_EQ(ui.lastMessage().caption, "Bassreflex box");
    EXPECT_EQ(ui.lastMessage().icon, MessageIcon::Exclamation);
    EXPECT_EQ(dialog->tuningField()->text(), before);
    EXPECT_DOUBLE_EQ(port().L, L);
    EXPECT_EQ(port().portChanged, 0) << "nothing to recalculate";
    EXPECT_EQ(beeps, 0) << "the field itself took the number";
}

TEST_F(BreflDialogTest, TuningMovesTheLength) {
    typeAndEnter(dialog->tuningField(), QStringLiteral("50"));
    settle();
    ASSERT_TRUE(ui.messages.empty());
    EXPECT_DOUBLE_EQ(port().fp, 50.0);
    // The length found reproduces the tuning.
    TPortObject check = port();
    check.updateTuning();
    EXPECT_NEAR(check.fp, 50.0, 1e-9);
    EXPECT_EQ(dialog->lengthField()->text(), shown("%2.2f", port().L * 100.0));
}

// Entries that would shrink the port below what the tuning allows: one row per field.
struct RefusalCase {
    const char* name;
    std::function<QLineEdit*(TBreflDialog&)> field;
    const char* text;
    const char* message;
};

class BreflDialogRefusalTest : public BreflDialogTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(BreflDialogRefusalTest, RestoresTheFieldAndSaysWhy) {
    const RefusalCase& c = GetParam();
    const TPortObject before = port();
    QLineEdit* f = c.field(*dialog);
    const QString text = f->text();
    typeAndEnter(f, QString::fromLatin1(c.text));
    settle();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, c.message);
    EXPECT_EQ(f->text(), text);
    EXPECT_DOUBLE_EQ(port().L, before.L);
    EXPECT_DOUBLE_EQ(port().D, before.D);
    EXPECT_DOUBLE_EQ(port().S, before.S);
    EXPECT_DOUBLE_EQ(port().flare, before.flare);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, BreflDialogRefusalTest,
    ::testing::Values(RefusalCase{"Diameter", [](TBreflDialog& d) -> QLineEdit* { return d.diameterField(); },
                                  "1", "Portlength < 0"},
                      RefusalCase{"Area", [](TBreflDialog& d) -> QLineEdit* { return d.areaField(); },
                                  "0.7853981633975", "Portlength < 0"},
                      RefusalCase{"FlareRadiusHalfTheLength",
                                  [](TBreflDialog& d) -> QLineEdit* { return d.flareRadiusField(); }, "5",
                                  "Flare radius must be greater than half the port length"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(BreflDialogTest, AreaKeepsTheTuningAndSetsTheDiameter) {
    const double fp = port().fp;
    typeAndEnter(dialog->areaField(), QStringLiteral("50"));
    settle();
    ASSERT_TRUE(ui.messages.empty());
    EXPECT_DOUBLE_EQ(port().S, 0.005);
    EXPECT_NEAR(port().D, 2.0 * std::sqrt(0.005 / kPi), 1e-12);
    EXPECT_EQ(dialog->diameterField()->text(), shown("%2.2f", port().D * 100.0));
    EXPECT_EQ(dialog->maxDiameterField()->text(), shown("%2.2f", port().D * 100.0));
    TPortObject check = port();
    check.updateTuning();
    EXPECT_NEAR(check.fp, fp, 1e-9);
}

TEST_F(BreflDialogTest, FlareRadiusAndStraightPort) {
    typeAndEnter(dialog->flareRadiusField(), QStringLiteral("20"));
    settle();
    ASSERT_TRUE(ui.messages.empty());
    EXPECT_DOUBLE_EQ(port().flare, 0.1 / (2.0 * 0.2));
    EXPECT_EQ(dialog->flareRadiusField()->text(), QStringLiteral("20.00"));
    // Dmax = 2 (D/2 + R - sqrt(R^2 - L^2/4)), in cm.
    const double dmax = 2.0 * (2.5 + 20.0 - std::sqrt(400.0 - 25.0));
    EXPECT_EQ(dialog->maxDiameterField()->text(), shown("%2.2f", dmax));

    typeAndEnter(dialog->flareRadiusField(), QStringLiteral("0"));
    settle();
    EXPECT_DOUBLE_EQ(port().flare, 0.0);
    EXPECT_EQ(dialog->flareRadiusField()->text(), QStringLiteral("inf."));
    EXPECT_EQ(dialog->maxDiameterField()->text(), QStringLiteral("5.00"));
}

TEST_F(BreflDialogTest, LengthAndVentsRetune) {
    typeAndEnter(dialog->lengthField(), QStringLiteral("20"));
    settle();
    EXPECT_DOUBLE_EQ(port().L, 0.2);
    TPortObject expected = port();
    expected.updateTuning();
    EXPECT_EQ(dialog->tuningField()->text(), shown("%2.2f", expected.fp));

    typeAndEnter(dialog->ventsField(), QStringLiteral("2"));
    settle();
    EXPECT_EQ(port().ports, 2);
    expected = port();
    expected.updateTuning();
    EXPECT_EQ(dialog->tuningField()->text(), shown("%2.2f", expected.fp));

    typeAndEnter(dialog->ventsField(), QStringLiteral("10"));
    settle();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(port().ports, 2);
}

TEST_F(BreflDialogTest, PortNonlinearityIsTheSharedSwitch) {
    dialog->nonLinearBox()->click();
    EXPECT_TRUE(TPortObject::nonLinear());
    EXPECT_EQ(port().portChanged, 1);
    EXPECT_EQ(ui.posted.size(), 1u);
    settle();
    EXPECT_EQ(port().portChanged, 0);
    dialog->nonLinearBox()->click();
    EXPECT_FALSE(TPortObject::nonLinear());
}

} // namespace
} // namespace harlox
