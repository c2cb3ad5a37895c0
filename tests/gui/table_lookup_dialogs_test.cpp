#include "gui/table_lookup_dialogs.h"

#include "box/abr_box.h"
#include "box/abr_object.h"
#include "box/alignment.h"
#include "box/bandpass_box.h"
#include "box/bass_reflex_box.h"
#include "box/box_object.h"
#include "box/closed_box.h"
#include "box/double_tuned_box.h"
#include "box/port_object.h"
#include "gui/closed_dialog.h"
#include "gui/dbl_edit.h"
#include "dialog_test_support.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

using namespace alignment;

// The built-in unit with its Qts moved to `qts` through Qes.
void setQts(TSpeakerObject& d, double qts) {
    d.SetDefaultUnit();
    d.Qes = 1.0 / (1.0 / qts - 1.0 / d.Qms);
    d.Qts = qts;
    d.UnitEdited();
}

// Runs f on the next modal dialog once it is shown.
void whenModal(std::function<void(QWidget*)> f) {
    QTimer::singleShot(0, [f = std::move(f)] {
        QWidget* w = QApplication::activeModalWidget();
        w ? f(w) : whenModal(f);
    });
}

// A radio button takes clicks on its indicator and text only, not on the rest of its row.
void click(QAbstractButton* b) {
    const QPoint at = qobject_cast<QRadioButton*>(b) ? QPoint(6, b->height() / 2) : b->rect().center();
    QTest::mouseClick(b, Qt::LeftButton, {}, at);
    test::drainEvents();
}

// Every text of the window fits its widget, whatever the result line says.
void expectNothingClipped(const QWidget* dialog) {
    for (const QWidget* w : dialog->findChildren<QWidget*>()) {
        if (!w->isVisible() || (!qobject_cast<const QLabel*>(w) && !qobject_cast<const QAbstractButton*>(w) &&
                                !qobject_cast<const QComboBox*>(w)))
            continue;
        EXPECT_GE(w->width(), w->sizeHint().width())
            << w->metaObject()->className() << " " << w->property("text").toString().toStdString();
        EXPECT_GE(w->height(), w->sizeHint().height());
    }
}

// Writes a picture of the window when HARLOX_SCREENSHOTS names a folder.
void screenshot(QWidget* dialog, const char* name) {
    if (const char* dir = std::getenv("HARLOX_SCREENSHOTS"))
        dialog->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QString::fromLatin1(name));
}

template <class Project> class TableLookupTest : public test::ProjectTest<Project> {
protected:
    // The window for the project's current driver, shown.
    template <class Dialog> std::unique_ptr<Dialog> open() {
        this->project->ComputeDerivedValues();
        auto d = std::make_unique<Dialog>(nullptr, *this->project, this->ui);
        test::showActive(d.get());
        return d;
    }
    void useQts(double qts) {
        setQts(this->project->front(), qts);
        this->project->ComputeDerivedValues();
    }
};

// ---- closed box -------------------------------------------------------------------------------

using ClosedTableTest = TableLookupTest<TClosedBox>;

TEST_F(ClosedTableTest, ButterworthFirstOkSizesTheBoxCancelChangesNothing) {
    auto d = open<TOptClosedTableDialog>();
    EXPECT_TRUE(d->rowButton(2)->isChecked()) << "Butterworth first";
    const double qts = project->effectiveQts(), vas = project->effectiveVas();
    EXPECT_TRUE(d->driverLabel()->text().contains(test::shown("Qts %.3f", qts)));

    click(d->rowButton(3));
    const double vb = vas / (std::pow(0.8 / qts, 2) - 1.0);
    EXPECT_EQ(d->resultLabel()->text(), test::shown("Box volume %2.1f l, box Q 15.0", vb * 1000));
    click(d->okButton());
    EXPECT_TRUE(!d->isVisible() && d->result() == TBaseDialog::ResultOk && d->applied());
    EXPECT_NEAR(project->box().Vb, vb, 1e-12);
    EXPECT_TRUE(ui.messages.empty());

    // Cancel, Escape and the close button change nothing.
    const double before = project->box().Vb;
    const std::function<void(TOptClosedTableDialog&)> ways[] = {
        [](TOptClosedTableDialog& d) { click(d.cancelButton()); },
        [](TOptClosedTableDialog& d) { QTest::keyClick(d.rowButton(5), Qt::Key_Escape); },
        [](TOptClosedTableDialog& d) { d.close(); },
    };
    for (const auto& end : ways) {
        auto d = open<TOptClosedTableDialog>();
        click(d->rowButton(5));
        end(*d);
        test::drainEvents();
        EXPECT_TRUE(!d->isVisible() && d->result() == TBaseDialog::ResultCancel && !d->applied());
    }
    EXPECT_EQ(project->box().Vb, before);
    EXPECT_TRUE(ui.messages.empty());
}

// A refused total Q keeps the window open for another choice; a Cancel after it still cancels.
TEST_F(ClosedTableTest, ARefusedChoiceSaysTooHighQtsAndKeepsTheWindowOpen) {
    useQts(0.6);
    ASSERT_GT(project->effectiveQts() * 1.01, 0.577);
    ASSERT_LT(project->effectiveQts() * 1.01, 0.707);
    const double before = project->box().Vb;
    auto d = open<TOptClosedTableDialog>();
    click(d->rowButton(1));
    EXPECT_EQ(d->resultLabel()->text(), QStringLiteral("Too high Qts: choose a higher total Q"));
    click(d->okButton());
    ASSERT_EQ(ui.messages.size(), 1U);
    EXPECT_EQ(ui.lastMessage().caption, "");
    EXPECT_EQ(ui.lastMessage().text, "Too high Qts");
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(project->box().Vb, before);

    click(d->cancelButton());
    EXPECT_TRUE(!d->isVisible() && d->result() == TBaseDialog::ResultCancel);
    EXPECT_EQ(project->box().Vb, before);

    // With the keyboard: it starts on the current choice, the arrows choose, Enter is OK.
    // Refused, then a usable choice: that one is applied.
    d = open<TOptClosedTableDialog>();
    const auto key = [&](Qt::Key k, int times = 1) {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(QApplication::focusWidget(), k);
        test::drainEvents();
    };
    EXPECT_TRUE(d->rowButton(2)->hasFocus());
    key(Qt::Key_Up, 2);
    key(Qt::Key_Return);
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(ui.messages.size(), 2U);
    EXPECT_TRUE(d->rowButton(0)->hasFocus()) << "back on the refused choice";
    key(Qt::Key_Down, 3);
    EXPECT_TRUE(d->rowButton(3)->isChecked());
    key(Qt::Key_Return);
    EXPECT_FALSE(d->isVisible());
    EXPECT_TRUE(d->applied());
    EXPECT_NEAR(project->box().Vb,
                project->effectiveVas() / (std::pow(0.8 / project->effectiveQts(), 2) - 1.0), 1e-12);
    EXPECT_EQ(ui.messages.size(), 2U);
}

// ---- bass reflex box ------------------------------------------------------------------------

using ReflexTableTest = TableLookupTest<TBassReflexBox>;

TEST_F(ReflexTableTest, OffersTheFamiliesThatServeTheDriverAndOkSizesBoxAndPort) {
    useQts(0.6);
    ASSERT_NEAR(project->effectiveQts(), 0.6, 0.02);
    auto d = open<TOptBreflTableDialog>();
    EXPECT_TRUE(d->familyButton(0)->isEnabled() && !d->familyButton(1)->isEnabled() &&
                d->familyButton(2)->isEnabled());
    EXPECT_TRUE(d->familyButton(0)->isChecked()) << "the first usable family";
    EXPECT_TRUE(d->boxQButton(2)->isChecked()) << "box Q 15";

    click(d->familyButton(2));
    click(d->boxQButton(1));
    ReflexAlignment want;
    ASSERT_TRUE(reflexAlignment(Family::SC4, 1, project->effectiveQts(), project->effectiveFs(),
                                project->effectiveVas(), want));
    EXPECT_EQ(d->resultLabel()->text(), test::shown("Box volume %2.1f l", want.Vb * 1000) +
                                            test::shown(", tuned to %2.1f Hz", want.tuning));
    click(d->okButton());
    EXPECT_FALSE(d->isVisible());
    EXPECT_TRUE(d->applied());
    EXPECT_NEAR(project->box().Vb, want.Vb, 1e-12);
    EXPECT_NEAR(project->port().fp, want.tuning, 1e-6 * want.tuning);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ReflexTableTest, ADriverNoFamilyServesGetsNoChoiceAndItsReasonOnOk) {
    const struct {
        double qts;
        const char* reason;
    } cases[] = {{0.75, "Too high Qts"}, {0.08, "Too low Qts"}};
    for (const auto& c : cases) {
        ui.messages.clear();
        useQts(c.qts);
        const TBoxObject box = project->box();
        const TPortObject port = project->port();
        auto d = open<TOptBreflTableDialog>();
        for (int f = 0; f < kFamilyCount; ++f)
            EXPECT_FALSE(d->familyButton(f)->isEnabled()) << c.qts << " family " << f;
        EXPECT_EQ(d->selectedFamily(), -1);
        EXPECT_EQ(d->resultLabel()->text().toStdString(),
                  std::string(c.reason) + ": no alignment fits this driver");
        click(d->okButton());
        ASSERT_EQ(ui.messages.size(), 1U) << c.qts;
        EXPECT_EQ(ui.lastMessage().text, c.reason);
        EXPECT_EQ(ui.lastMessage().caption, "");
        EXPECT_TRUE(d->isVisible());
        click(d->cancelButton());
        EXPECT_FALSE(d->isVisible());
        EXPECT_TRUE(project->box().Vb == box.Vb && project->box().Qb == box.Qb) << c.qts;
        EXPECT_TRUE(project->port().L == port.L && project->port().D == port.D) << c.qts;
    }
}

// ---- bandpass box type 1 --------------------------------------------------------------------

using Bp1TableTest = TableLookupTest<TBP5Box>;

TEST_F(Bp1TableTest, OffersRippleAndSensitivityOkSizesBothBoxesAndThePortOrRefuses) {
    auto d = open<TOptBP5TableDialog>();
    EXPECT_TRUE(d->rippleButton(0)->isChecked());
    QComboBox* sens = d->sensitivityBox();
    ASSERT_EQ(sens->count(), 17);
    EXPECT_EQ(sens->itemText(0), QStringLiteral("-8dB"));
    EXPECT_EQ(sens->itemText(16), QStringLiteral("+8dB"));
    EXPECT_EQ(sens->currentText(), QStringLiteral("0dB"));

    // 1.25 dB ripple at 0 dB: S = 1 and b = 0.5.
    click(d->rippleButton(2));
    const double qts = project->effectiveQts(), fs = project->effectiveFs(), vas = project->effectiveVas();
    const double front = qts * qts * vas, rear = vas / (1.0 / (qts * qts) - 1.0), fb = fs / qts;
    EXPECT_EQ(d->resultLabel()->text(), test::shown("Rear box %2.1f l", rear * 1000) +
                                            test::shown(", front box %2.1f l", front * 1000) +
                                            test::shown(", tuned to %2.1f Hz", fb));
    click(d->okButton());
    EXPECT_FALSE(d->isVisible());
    EXPECT_TRUE(d->applied());
    EXPECT_NEAR(project->frontBox().Vb, front, 1e-12);
    EXPECT_NEAR(project->rearBox().Vb, rear, 1e-12);
    EXPECT_NEAR(project->port().fp, fb, 1e-6 * fb);
    EXPECT_TRUE(ui.messages.empty());

    // A too low sensitivity for the driver is refused.
    useQts(0.45); // -8 dB at 0 dB ripple: S = 0.4507 <= 1.01 · Qts
    d = open<TOptBP5TableDialog>();
    d->sensitivityBox()->setCurrentIndex(0);
    EXPECT_EQ(d->resultLabel()->text(), QStringLiteral("Too high Qts: choose a higher sensitivity"));
    const double rearNow = project->rearBox().Vb, frontNow = project->frontBox().Vb;
    click(d->okButton());
    ASSERT_EQ(ui.messages.size(), 1U);
    EXPECT_EQ(ui.lastMessage().text, "Too high Qts");
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(project->rearBox().Vb, rearNow);
    EXPECT_EQ(project->frontBox().Vb, frontNow);
}

// ---- the command ------------------------------------------------------------------------------

using LookupCommandTest = test::DialogTest;

TEST_F(LookupCommandTest, PassiveRadiatorRunsAtOnceAndOtherTypesOrNoDriverGetNothing) {
    TAbrBox abr(ui);
    EXPECT_FALSE(runTableLookup(nullptr, abr, ui)) << "no driver";
    ASSERT_EQ(ui.messages.size(), 1U);
    EXPECT_EQ(ui.lastMessage().text, "Too few speaker parameters are defined");

    ui.messages.clear();
    abr.front().SetDefaultUnit();
    TAbrBox twin(ui);
    twin.front().SetDefaultUnit();
    ASSERT_TRUE(applyAbrTable(twin, ui));
    EXPECT_TRUE(runTableLookup(nullptr, abr, ui));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(abr.box().Vb, twin.box().Vb);
    EXPECT_EQ(abr.abr().Vap, twin.abr().Vap);
    EXPECT_EQ(abr.abr().Mmp, twin.abr().Mmp);
    EXPECT_TRUE(ui.messages.empty());

    TBassReflexDTBox dt(ui);
    dt.front().SetDefaultUnit();
    EXPECT_FALSE(runTableLookup(nullptr, dt, ui));
    EXPECT_TRUE(ui.messages.empty());
}

// "By &table lookup..." in the closed box window runs the window modally: Cancel leaves all as
// it was; OK changes the box, the field shows it and the project recalculates.
TEST_F(LookupCommandTest, TheMenuEntryOfTheClosedBoxWindowAppliesTheChoice) {
    TClosedBox p(ui);
    p.front().SetDefaultUnit();
    p.Calculate(0);
    ui.runPosted();
    TClosedDialog window(nullptr, p, ui);
    test::showActive(&window);
    QAction* table = window.optimizeMenu().table;
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->text(), QStringLiteral("By &table lookup..."));
    const double spl = p.SPL[0], before = p.box().Vb;
    const auto choose = [](bool ok) {
        whenModal([ok](QWidget* w) {
            auto* d = qobject_cast<TOptClosedTableDialog*>(w);
            ASSERT_NE(d, nullptr);
            click(d->rowButton(0));
            click(ok ? d->okButton() : d->cancelButton());
        });
    };
    choose(false);
    table->trigger();
    settle();
    EXPECT_EQ(p.box().Vb, before);
    EXPECT_EQ(p.SPL[0], spl);

    choose(true);
    table->trigger();
    settle();
    const double vb = p.effectiveVas() / (std::pow(0.5 / p.effectiveQts(), 2) - 1.0);
    EXPECT_NEAR(p.box().Vb, vb, 1e-12);
    EXPECT_EQ(window.boxFields().volumeField()->text(), test::shown("%2.1f", vb * 1000));
    EXPECT_NE(p.SPL[0], spl) << "recalculated";
    EXPECT_EQ(p.box().boxChanged, 0);
}

// ---- looks ------------------------------------------------------------------------------------

// Every window shows all its texts whole, for the widest result line it can give.
TEST_F(LookupCommandTest, NoWindowClipsItsTexts) {
    TClosedBox closed(ui);
    TBassReflexBox reflex(ui);
    TBP5Box bp1(ui);
    closed.front().SetDefaultUnit();
    setQts(reflex.front(), 0.6); // one family greyed
    bp1.front().SetDefaultUnit();
    for (TBoxEmbryo* p : std::initializer_list<TBoxEmbryo*>{&closed, &reflex, &bp1})
        p->ComputeDerivedValues();
    // Each choice of the window, every text whole; then its picture.
    const auto look = [](QWidget& d, int choices, const std::function<void(int)>& choose, const char* shot) {
        test::showActive(&d);
        for (int i = 0; i < choices; ++i) {
            choose(i);
            expectNothingClipped(&d);
        }
        screenshot(&d, shot);
    };
    TOptClosedTableDialog c(nullptr, closed, ui);
    look(
        c, kClosedRowCount, [&](int i) { c.rowButton(i)->setChecked(true); }, "closedtb.png");
    TOptBreflTableDialog r(nullptr, reflex, ui);
    look(
        r, kBoxQChoices, [&](int q) { r.boxQButton(q)->setChecked(true); }, "brefltab.png");
    TOptBP5TableDialog b(nullptr, bp1, ui);
    look(
        b, 3, [&](int s) { b.sensitivityBox()->setCurrentIndex(8 * s); }, "bp1tab.png");
}

} // namespace
} // namespace harlox
