// The input windows of the two-chamber, passive radiator and reflex bandpass types.
#include "app/box_factory.h"
#include "box/abr_box.h"
#include "box/abr_object.h"
#include "box/bandpass_box.h"
#include "box/bass_reflex_vel_box.h"
#include "box/box_object.h"
#include "box/double_tuned_box.h"
#include "box/port_object.h"
#include "core/command_ids.h"
#include "core/constants.h"
#include "gui/abr_dialog.h"
#include "gui/bandpass_dialog.h"
#include "gui/brefl_dt_dialog.h"
#include "gui/closed_dialog.h"
#include "gui/dbl_edit.h"
#include "gui/long_edit.h"
#include "gui/port_fields.h"
#include "gui/project_dialogs.h"
#include "dialog_test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace harlox {
namespace {

using test::shown;

// The label of a field, as its row shows it.
std::string labelOf(const QWidget* dialog, const QWidget* field) {
    for (const QLabel* l : dialog->findChildren<QLabel*>())
        if (l->buddy() == field) return l->text().toStdString();
    return {};
}

QMenu* optimizeMenu(const QWidget* dialog) {
    const QMenuBar* bar = dialog->findChild<QMenuBar*>();
    if (!bar || bar->actions().isEmpty()) return nullptr;
    return bar->actions().front()->menu();
}

// ---- every window: its optimize menu, distinct labelled field ids, the quick box -------------

struct WindowCase {
    int type;
    std::vector<std::string> menu; // the "&Optimize" items; only "&Quick box" is enabled
};

void PrintTo(const WindowCase& c, std::ostream* os) {
    *os << "type " << c.type;
}

const std::vector<std::string> kFitAndQuick{"&By frequency fit...", "&Quick box"};
const std::vector<std::string> kAllThree{"By &table lookup...", "By &frequency fit...", "&Quick box"};

class BoxWindowTest : public test::DialogTest, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(BoxWindowTest, OpensWithItsMenuAndItsQuickBoxNeedsADriver) {
    const WindowCase& c = GetParam();
    std::unique_ptr<TBoxEmbryo> project = makeBoxProject(c.type, ui);
    ASSERT_TRUE(project);
    QWidget parent;
    ASSERT_TRUE(hasProjectDialog(cmd::Box, *project));
    QPointer<QWidget> w = openProjectDialog(cmd::Box, {*project, ui, &parent, [](int) {}});
    auto* dialog = qobject_cast<TBaseDialog*>(w.data());
    ASSERT_NE(dialog, nullptr);
    test::showActive(dialog);

    QMenu* menu = optimizeMenu(dialog);
    ASSERT_NE(menu, nullptr);
    std::vector<std::string> items;
    for (const QAction* a : menu->actions()) {
        items.push_back(a->text().toStdString());
        EXPECT_TRUE(a->isEnabled()) << items.back();
    }
    EXPECT_EQ(items, c.menu);

    std::set<int> ids;
    for (const TEntryEdit* f : dialog->findChildren<TEntryEdit*>()) {
        EXPECT_TRUE(ids.insert(f->fieldId()).second) << "id " << f->fieldId() << " twice";
        EXPECT_FALSE(labelOf(dialog, f).empty()) << "id " << f->fieldId() << " has no label";
    }
    EXPECT_EQ(dialog->findChildren<QCheckBox*>().size(), 1);

    // "&Quick box" without a driver: nothing happens and nothing is said.
    QAction* quick = menu->actions().back();
    const double before = project->boxElement()->Vb;
    quick->trigger();
    settle();
    EXPECT_EQ(project->boxElement()->Vb, before);
    EXPECT_TRUE(ui.messages.empty());
    // With one it sizes the box, shows it in every box volume field and recalculates.
    project->front().SetDefaultUnit();
    if (project->usesRearDriver()) project->rear().SetDefaultUnit();
    project->Calculate(0);
    ui.runPosted();
    const double spl = project->SPL[0];
    quick->trigger();
    settle();
    EXPECT_NE(project->boxElement()->Vb, before);
    EXPECT_NE(project->SPL[0], spl) << "recalculated";
    EXPECT_EQ(project->boxElement()->boxChanged, 0) << "recalculated";
    for (const BoxVolumeFields* b : dialog->findChildren<BoxVolumeFields*>())
        EXPECT_EQ(b->volumeField()->text(), shown("%2.1f", b->box().Vb * 1000.0));
    EXPECT_TRUE(ui.messages.empty());
    w->close();
}

INSTANTIATE_TEST_SUITE_P(
    Types, BoxWindowTest,
    ::testing::Values(WindowCase{2, kFitAndQuick}, WindowCase{3, kFitAndQuick}, WindowCase{4, kAllThree},
                      WindowCase{5, kAllThree}, WindowCase{6, kFitAndQuick}, WindowCase{7, kFitAndQuick},
                      WindowCase{8, kFitAndQuick}, WindowCase{9, {"By &frequency fit...", "&Quick box"}}));

// ---- double tuned: the coupled fields and the resonance display -----------------------------

struct Dt1 {
    using Box = TBassReflexDTBox;
    using Dialog = TBreflDTDialog;
    static constexpr bool kType2 = false;
};
struct Dt2 {
    using Box = TBassReflexDT2Box;
    using Dialog = TBreflDT2Dialog;
    static constexpr bool kType2 = true;
};

template <class T>
class DoubleTunedDialogTest : public test::WindowTest<typename T::Box, typename T::Dialog> {};
using DoubleTunedTypes = ::testing::Types<Dt1, Dt2>;
TYPED_TEST_SUITE(DoubleTunedDialogTest, DoubleTunedTypes);

TYPED_TEST(DoubleTunedDialogTest, CoupledFieldsAndBothResonancesFollowEveryEdit) {
    auto& project = *this->project;
    const double spl = project.SPL[0];
    DtPortFields& fields = this->dialog->rearPortFields();
    TPortObject& rear = project.rearPort();
    const double length = rear.L;
    this->enter(fields.diameterField(), QStringLiteral("10"));
    EXPECT_DOUBLE_EQ(rear.D, 0.1);
    EXPECT_NEAR(rear.S, kPi * 0.01 / 4.0, 1e-15);
    EXPECT_EQ(fields.areaField()->text(), shown("%2.1f", kPi * 100.0 / 4.0));
    this->enter(fields.areaField(), QStringLiteral("50"));
    EXPECT_NEAR(rear.D, 2.0 * std::sqrt(0.005 / kPi), 1e-15);
    EXPECT_EQ(fields.diameterField()->text(), shown("%2.1f", 2.0 * std::sqrt(50.0 / kPi)));
    EXPECT_DOUBLE_EQ(rear.L, length) << "a dimension edit moves the resonance, not the length";

    // "Box Q-value" is Qb; Ql stays.
    const double ql = project.frontBox().Ql;
    this->enter(this->dialog->frontBoxFields().qbField(), QStringLiteral("4.5"));
    EXPECT_DOUBLE_EQ(project.frontBox().Qb, 4.5);
    EXPECT_DOUBLE_EQ(project.frontBox().Ql, ql);
    EXPECT_TRUE(this->ui.messages.empty());
    EXPECT_EQ(this->beeps, 0);

    // Every edit refreshes both resonances. Type 1 drives the rear chamber and shows the low
    // resonance at the rear port, type 2 the front ones.
    constexpr bool type2 = TypeParam::kType2;
    auto& dialog = *this->dialog;
    const test::Edit edits[] = {
        {dialog.rearBoxFields().volumeField(), "60"}, {dialog.frontBoxFields().volumeField(), "25"},
        {dialog.frontBoxFields().fillField(), "50"},  {dialog.rearPortFields().lengthField(), "30"},
        {dialog.frontPortFields().ventsField(), "2"}, {dialog.frontPortFields().diameterField(), "8"},
    };
    const TPortObject& low = type2 ? project.frontPort() : project.rearPort();
    const TPortObject& high = type2 ? project.rearPort() : project.frontPort();
    DtPortFields& lowFields = type2 ? dialog.frontPortFields() : dialog.rearPortFields();
    DtPortFields& highFields = type2 ? dialog.rearPortFields() : dialog.frontPortFields();
    for (const test::Edit& e : edits) {
        const double lowBefore = low.fp, highBefore = high.fp;
        this->enter(e);
        const double lowShown = low.fp, highShown = high.fp;
        EXPECT_TRUE(lowShown != lowBefore || highShown != highBefore) << e.text;
        EXPECT_EQ(lowFields.resonanceField()->text(), shown("%2.1f", lowShown)) << e.text;
        EXPECT_EQ(highFields.resonanceField()->text(), shown("%2.1f", highShown)) << e.text;
        // The model's own, and current: working them out again changes nothing.
        project.UpdateResonances();
        EXPECT_TRUE(low.fp == lowShown && high.fp == highShown && lowShown < highShown) << e.text;
    }
    EXPECT_NE(project.SPL[0], spl) << "the project recalculated";

    dialog.nonLinearBox()->click();
    EXPECT_TRUE(TPortObject::nonLinear());
    EXPECT_EQ(project.rearPort().portChanged + project.frontPort().portChanged, 2);
}

// ---- passive radiator: Fp, Fb and Mmp refresh one another; Xmax gates the simulation --------

class AbrDialogTest : public test::WindowTest<TAbrBox, TAbrDialog> {
protected:
    // The radiator's resonance alone (the compliance of its suspension) and in the box (in series
    // with each radiator's share of the box air), from its present fields.
    static double resonance(const TAbrObject& r, double boxCompliance) {
        const double a = std::sqrt(r.Sd / kPi), mms = r.Mmp + 3.15 * a * a * a;
        return 1.0 / (2.0 * kPi * std::sqrt(mms * boxCompliance / 142000.0 / (r.Sd * r.Sd)));
    }
    static double fp(const TAbrObject& r) { return resonance(r, r.Vap); }
    static double fb(const TAbrObject& r, const TBoxObject& box) {
        return resonance(r, 1.0 / (r.units / (box.Vb * (1.0 + 0.002 * box.fill)) + 1.0 / r.Vap));
    }
};

TEST_F(AbrDialogTest, EachRadiatorEditRefreshesTheCoupledFieldsAndXmaxGatesTheSimulation) {
    TAbrObject& r = project->abr();
    const double spl = project->SPL[0];
    // The defaults, and an Fp of 50.02 rounds back to the same mass.
    EXPECT_EQ(dialog->mmpField()->text(), QStringLiteral("10.0"));
    EXPECT_EQ(dialog->sdField()->text(), QStringLiteral("300.0"));
    enter(dialog->fpField(), QStringLiteral("50.02"));
    EXPECT_EQ(dialog->mmpField()->text(), QStringLiteral("10.0"));
    const test::Edit edits[] = {{dialog->vapField(), "50"},
                                {dialog->sdField(), "500"},
                                {dialog->mmpField(), "40"},
                                {dialog->unitsField(), "2"},
                                {dialog->boxFields().volumeField(), "80"},
                                {dialog->boxFields().fillField(), "40"}};
    for (const test::Edit& e : edits) {
        enter(e);
        EXPECT_EQ(dialog->fpField()->text(), shown("%2.1f", fp(r))) << e.text;
        EXPECT_EQ(dialog->fbField()->text(), shown("%2.1f", fb(r, project->box()))) << e.text;
    }
    // A resonance entered sets the mass.
    enter(dialog->fpField(), QStringLiteral("30"));
    EXPECT_NEAR(fp(r), 30.0, 1e-9);
    EXPECT_EQ(dialog->mmpField()->text(), shown("%3.1f", r.Mmp * 1000.0));
    EXPECT_EQ(dialog->fbField()->text(), shown("%2.1f", fb(r, project->box())));
    // Fb entered sets the mass for the box without its fill; the calculation then shows the
    // in-box resonance with the fill again.
    enter(dialog->fbField(), QStringLiteral("45"));
    TBoxObject unfilled = project->box();
    unfilled.fill = 0;
    EXPECT_NEAR(fb(r, unfilled), 45.0, 1e-9);
    EXPECT_EQ(dialog->fpField()->text(), shown("%2.1f", fp(r)));
    EXPECT_EQ(dialog->mmpField()->text(), shown("%3.1f", r.Mmp * 1000.0));
    EXPECT_NE(project->SPL[0], spl) << "the project recalculated";

    // No excursion limit clears and disables the simulation.
    QCheckBox* sim = dialog->nonLinearBox();
    sim->click();
    EXPECT_EQ(project->abr().nonLinear, 1);
    enter(dialog->xmaxField(), QStringLiteral("0"));
    EXPECT_FALSE(sim->isEnabled() || sim->isChecked());
    EXPECT_EQ(project->abr().nonLinear, 1) << "the flag itself stays";
    enter(dialog->xmaxField(), QStringLiteral("5"));
    EXPECT_TRUE(sim->isEnabled() && sim->isChecked());
    EXPECT_DOUBLE_EQ(project->abr().Xmax, 0.005);
    sim->click();
    enter(dialog->xmaxField(), QStringLiteral("0"));
    enter(dialog->xmaxField(), QStringLiteral("6"));
    EXPECT_TRUE(sim->isEnabled() && !sim->isChecked());
}

// ---- the bandpass windows: volumes tune the ports, port refusals per port --------------------

using Bp1DialogTest = test::WindowTest<TBP5Box, TBP5Dialog>;
using Bp3DialogTest = test::WindowTest<TBP7Box, TBP7Dialog>;
using ReflexBandpassDialogTest = test::WindowTest<TBassReflexVelBox, TBreflVelDialog>;

TEST_F(Bp1DialogTest, TheFrontBoxTunesThePortTheRearBoxDoesNot) {
    TPortObject& port = project->port();
    enter(dialog->box1Fields().volumeField(), QStringLiteral("33"));
    EXPECT_DOUBLE_EQ(project->rearBox().Vb, 0.033);
    EXPECT_NE(port.Vbox, 0.033);
    enter(dialog->box2Fields().volumeField(), QStringLiteral("22"));
    EXPECT_DOUBLE_EQ(port.Vbox, 0.022);
    EXPECT_EQ(dialog->port1Fields().tuningField()->text(), shown("%2.2f", port.fp));
    const double ql = project->frontBox().Ql;
    enter(dialog->box2Fields().qbField(), QStringLiteral("12"));
    EXPECT_DOUBLE_EQ(project->frontBox().Qb, 12.0);
    EXPECT_DOUBLE_EQ(project->frontBox().Ql, ql);
    // One port: the switch sits in its group.
    ASSERT_EQ(dialog->nonLinearBox(), dialog->port1Fields().nonLinearBox());
    dialog->nonLinearBox()->click();
    EXPECT_TRUE(TPortObject::nonLinear());
}

TEST_F(Bp3DialogTest, EachPortRefusesWhatCannotBeBuiltUnderTheWindowsCaption) {
    PortFields* ports[] = {&dialog->port1Fields(), dialog->port2Fields()};
    ASSERT_NE(ports[1], nullptr);
    for (PortFields* p : ports) {
        // Long enough for the flare check.
        p->port().setLength(0.2);
        p->refresh();
        expectPortRefusals(p->tuningField(), p->diameterField(), p->flareRadiusField(), p->port(),
                           "Bandpass box type 3");
    }
    // Each box tunes its own port.
    enter(dialog->box2Fields().volumeField(), QStringLiteral("17"));
    EXPECT_DOUBLE_EQ(project->port2Element()->Vbox, 0.017);
    EXPECT_NE(project->portElement()->Vbox, 0.017);
    dialog->nonLinearBox()->click();
    EXPECT_EQ(project->portElement()->portChanged + project->port2Element()->portChanged, 2);
}

TEST_F(ReflexBandpassDialogTest, TheVentResistanceSitsWithTheRearVentAndReachesTheModel) {
    TDblEdit* r = dialog->ventResistanceField();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(labelOf(dialog.get(), r), "Vent resistance");
    EXPECT_TRUE(dialog->port2Fields()->group()->isAncestorOf(r));
    EXPECT_DOUBLE_EQ(r->entry().minimum(), 0.0);
    EXPECT_DOUBLE_EQ(r->entry().maximum(), 1e7);
    enter(r, QStringLiteral("25000"));
    EXPECT_DOUBLE_EQ(project->ventResistance, 25000.0);
    EXPECT_EQ(r->text(), QStringLiteral("25000"));
    enter(r, QStringLiteral("20000000"));
    EXPECT_DOUBLE_EQ(project->ventResistance, 25000.0) << "out of range";
    EXPECT_EQ(beeps, 1);
}

} // namespace
} // namespace harlox
