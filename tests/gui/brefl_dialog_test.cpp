#include "gui/brefl_dialog.h"

#include "box/bass_reflex_box.h"
#include "box/port_object.h"
#include "gui/closed_dialog.h"
#include "gui/dbl_edit.h"
#include "gui/long_edit.h"
#include "dialog_test_support.h"

#include <QCheckBox>

#include <gtest/gtest.h>

#include <cmath>

namespace harlox {
namespace {

QString shown(double v) {
    return test::shown("%2.2f", v);
}

class BreflDialogTest : public test::WindowTest<TBassReflexBox, TBreflDialog> {
protected:
    TPortObject& port() { return project->port(); }
    // The tuning the port's present dimensions give.
    double tuningOfPort() {
        TPortObject check = port();
        check.updateTuning();
        return check.fp;
    }
};

TEST_F(BreflDialogTest, ShowsThePortAndTheBoxVolumeRetunesIt) {
    EXPECT_EQ(dialog->flareRadiusField()->text(), QStringLiteral("inf."));
    EXPECT_EQ(dialog->areaField()->text(), QStringLiteral("19.63"));
    const double oldTuning = port().fp;

    enter(dialog->boxFields().volumeField(), QStringLiteral("40"));
    // Four times the volume: half the tuning frequency.
    EXPECT_NEAR(port().fp, oldTuning / 2.0, 1e-9);
    EXPECT_EQ(dialog->tuningField()->text(), shown(port().fp));
    EXPECT_EQ(port().portChanged, 0) << "recalculated";

    dialog->nonLinearBox()->click();
    EXPECT_TRUE(TPortObject::nonLinear());
    EXPECT_EQ(port().portChanged, 1);
}

TEST_F(BreflDialogTest, EachPortFieldReachesThePortAndTheOthersFollow) {
    // Dmax = 2 (D/2 + R - sqrt(R^2 - L^2/4)), in cm; 0 makes the port straight again.
    enter(dialog->flareRadiusField(), QStringLiteral("20"));
    EXPECT_EQ(dialog->maxDiameterField()->text(), shown(2.0 * (2.5 + 20.0 - std::sqrt(400.0 - 25.0))));
    enter(dialog->flareRadiusField(), QStringLiteral("0"));
    enter(dialog->tuningField(), QStringLiteral("50"));
    EXPECT_NEAR(tuningOfPort(), 50.0, 1e-9);
    EXPECT_EQ(dialog->lengthField()->text(), shown(port().L * 100.0));
    enter(dialog->lengthField(), QStringLiteral("20"));
    EXPECT_DOUBLE_EQ(port().L, 0.2);
    enter(dialog->areaField(), QStringLiteral("50"));
    EXPECT_EQ(dialog->diameterField()->text(), shown(2.0 * std::sqrt(50.0 / kPi)));
    enter(dialog->ventsField(), QStringLiteral("2"));
    EXPECT_EQ(port().ports, 2);
    EXPECT_EQ(dialog->tuningField()->text(), shown(tuningOfPort()));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(BreflDialogTest, PortEditsThatCannotBeBuiltAreRefusedWithTheReason) {
    expectPortRefusals(dialog->tuningField(), dialog->diameterField(), dialog->flareRadiusField(), port(),
                       "Bassreflex box");
    EXPECT_EQ(beeps, 0) << "the fields themselves took the numbers";
}

} // namespace
} // namespace harlox
