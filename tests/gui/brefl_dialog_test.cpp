#include "gui/brefl_dialog.h"

#include "box/bass_reflex_box.h"
#include "box/port_object.h"
#include "core/format.h"
#include "gui/closed_dialog.h"
#include "gui/dbl_edit.h"
#include "gui/long_edit.h"
#include "dialog_test_support.h"

#include <QCheckBox>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace harlox {
namespace {

QString shown(double v) {
    return QString::fromStdString(strprintf("%2.2f", v));
}

class BreflDialogTest : public test::ProjectTest<TBassReflexBox> {
protected:
    void SetUp() override {
        ProjectTest::SetUp();
        dialog = std::make_unique<TBreflDialog>(nullptr, *project, ui);
        test::showActive(dialog.get());
    }
    TPortObject& port() { return project->port(); }
    // The tuning the port's present dimensions give.
    double tuningOfPort() {
        TPortObject check = port();
        check.updateTuning();
        return check.fp;
    }
    std::unique_ptr<TBreflDialog> dialog;
};

TEST_F(BreflDialogTest, ShowsThePortAndTheBoxVolumeRetunesIt) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Bassreflex box"));
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
    const struct {
        TDblEdit* field;
        const char* text;
        const char* message;
    } cases[] = {
        {dialog->tuningField(), "1000", "Port length < 0"},
        {dialog->diameterField(), "1", "Portlength < 0"},
        {dialog->flareRadiusField(), "5", "Flare radius must be greater than half the port length"},
    };
    const TPortObject before = port();
    for (const auto& c : cases) {
        ui.messages.clear();
        const QString text = c.field->text();
        enter(c.field, QString::fromLatin1(c.text));
        ASSERT_EQ(ui.messages.size(), 1u) << c.text;
        EXPECT_EQ(ui.lastMessage().text, c.message);
        EXPECT_EQ(ui.lastMessage().caption, "Bassreflex box");
        EXPECT_EQ(ui.lastMessage().icon, MessageIcon::Exclamation);
        EXPECT_EQ(c.field->text(), text);
        EXPECT_TRUE(port().L == before.L && port().D == before.D);
    }
    EXPECT_EQ(beeps, 0) << "the fields themselves took the numbers";
}

} // namespace
} // namespace harlox
