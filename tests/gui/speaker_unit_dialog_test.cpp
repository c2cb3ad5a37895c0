#include "gui/speaker_unit_dialog.h"

#include "core/command_ids.h"
#include "driver/spk_data.h"
#include "gui/dbl_edit.h"
#include "dialog_test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace harlox {
namespace {

using Command = TSpeakerUnitDialog::Command;

class SpeakerUnitDialogTest : public test::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        dialog = std::make_unique<TSpeakerUnitDialog>(nullptr, ui, unit, selector);
        test::showActive(dialog.get());
    }

    // Types into a parameter field and leaves it, as a user would.
    void type(UnitField f, const QString& text) {
        test::typeInto(dialog->field(f), text);
        dialog->manufacturerEdit()->setFocus();
        test::drainEvents();
    }
    QString shown(UnitField f) const { return dialog->field(f)->text(); }

    TSpkData unit;
    FileSelector selector;
    std::unique_ptr<TSpeakerUnitDialog> dialog;
};

TEST_F(SpeakerUnitDialogTest, CompletesTypedDataSheetValuesFromTheMenuOrWithCrosscalc) {
    EXPECT_EQ(dialog->manufacturerEdit()->text(), QStringLiteral("PEERLESS"));
    EXPECT_EQ(dialog->sensitivityLabel()->text(), QStringLiteral("87.3"));
    EXPECT_EQ(ui.commandState(cmd::DriverEdit), CommandState::Greyed);

    dialog->action(Command::New)->trigger();
    EXPECT_TRUE(ui.messages.empty()) << "nothing was changed yet";
    EXPECT_EQ(dialog->efficiencyLabel()->text(), QStringLiteral("--"));

    dialog->manufacturerEdit()->setFocus();
    QTest::keyClicks(dialog->manufacturerEdit(), QStringLiteral("PEERLESS"));
    type(UnitField::fs, QStringLiteral("34"));
    type(UnitField::Qes, QStringLiteral("0,37"));
    type(UnitField::Vas, QStringLiteral("32.9"));
    // The figures follow every entry.
    EXPECT_EQ(dialog->efficiencyLabel()->text(), QStringLiteral("0.34"));
    type(UnitField::Sd, QStringLiteral("130"));
    EXPECT_EQ(shown(UnitField::Cms), QStringLiteral("0.0e+00")) << "Crosscalc is off";

    dialog->action(Command::CalcMissingFields)->trigger();
    EXPECT_NEAR(unit.Cms / (0.0329 / (140000.0 * 0.013 * 0.013)), 1.0, 1e-9);
    EXPECT_EQ(shown(UnitField::Cms), QStringLiteral("1.4e-03"));
    EXPECT_EQ(unit.manufacturerText(), "PEERLESS");

    // With Crosscalc on the command is greyed and a Qts above Qes is refused.
    dialog->crosscalcBox()->click();
    EXPECT_FALSE(dialog->action(Command::CalcMissingFields)->isEnabled());
    const QString qts = shown(UnitField::Qts);
    type(UnitField::Qts, QStringLiteral("0.5"));
    EXPECT_EQ(shown(UnitField::Qts), qts);
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(beeps, 0);
}

TEST_F(SpeakerUnitDialogTest, AChangedUnitAsksBeforeClosing) {
    dialog->typeButton(4)->click();
    dialog->dualCoilBox()->click();
    EXPECT_EQ(unit.speakerType, 4);
    EXPECT_EQ(unit.dualCoil, 1);
    ui.answers = {MessageResult::Cancel};
    dialog->close();
    test::drainEvents();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(ui.messages.size(), 1u);

    ui.answers = {MessageResult::No};
    dialog->close();
    test::drainEvents();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(ui.commandState(cmd::DriverEdit), CommandState::Enabled);
    EXPECT_EQ(unit.editorLeft, dialog->pos().x());
}

TEST_F(SpeakerUnitDialogTest, EscapeOrCloseEndsTheEditorAndEveryFieldShowsItsRange) {
    if (const char* dir = std::getenv("HARLOX_SCREENSHOTS"))
        dialog->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/unit_editor.png"));
    EXPECT_EQ(dialog->field(UnitField::fs)->toolTip(), QStringLiteral("fs: 0 to 100000 Hz (1 decimal)"));
    ASSERT_NE(dialog->cancelButton(), nullptr);
    EXPECT_EQ(dialog->cancelButton()->text(), QStringLiteral("&Close"));
    dialog->field(UnitField::fs)->setFocus();
    QTest::keyClick(dialog->field(UnitField::fs), Qt::Key_Escape);
    test::drainEvents();
    EXPECT_FALSE(dialog->isVisible());

    test::showActive(dialog.get());
    dialog->cancelButton()->click();
    test::drainEvents();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(ui.messages.empty()) << "nothing changed, nothing to ask";
}

} // namespace
} // namespace harlox
