#include "gui/speaker_unit_dialog.h"

#include "core/command_ids.h"
#include "driver/spk_data.h"
#include "gui/beep.h"
#include "gui/dbl_edit.h"
#include "gui_test_support.h"
#include "scripted_ui_host.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace harlox {
namespace {

using Command = TSpeakerUnitDialog::Command;

class SpeakerUnitDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        setWarningBeepHook([this] { ++widgetBeeps; });
        dialog = std::make_unique<TSpeakerUnitDialog>(nullptr, host, unit, selector);
        test::showActive(dialog.get());
    }
    void TearDown() override {
        dialog.reset();
        setWarningBeepHook({});
    }

    // Types into a parameter field and leaves it, as a user would.
    void type(UnitField f, const QString& text) {
        TDblEdit* edit = dialog->field(f);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        dialog->manufacturerEdit()->setFocus();
        test::drainEvents();
    }
    QString shown(UnitField f) const { return dialog->field(f)->text(); }

    test::ScriptedUiHost host;
    TSpkData unit;
    FileSelector selector;
    std::unique_ptr<TSpeakerUnitDialog> dialog;
    int widgetBeeps = 0;
};

TEST_F(SpeakerUnitDialogTest, ShowsTheBuiltInUnitWithTheEditorsMenu) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Speaker unit editor"));
    EXPECT_EQ(dialog->manufacturerEdit()->text(), QStringLiteral("PEERLESS"));
    EXPECT_TRUE(dialog->typeButton(1)->isChecked());
    EXPECT_EQ(shown(UnitField::Cms), QStringLiteral("1.4e-03"));
    EXPECT_EQ(dialog->sensitivityLabel()->text(), QStringLiteral("87.3"));
    EXPECT_EQ(host.commandState(cmd::DriverEdit), CommandState::Greyed);

    QMenu* file = dialog->menuBar()->actions().first()->menu();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->title(), QStringLiteral("&File"));
    QStringList items;
    for (QAction* a : file->actions())
        if (!a->isSeparator()) items << a->text();
    EXPECT_EQ(items, (QStringList{QStringLiteral("&New"), QStringLiteral("&Open..."), QStringLiteral("&Save"),
                                  QStringLiteral("Save &as..."), QStringLiteral("&Print data..."),
                                  QStringLiteral("&Copy data"), QStringLiteral("&User note...")}));
    EXPECT_EQ(dialog->action(Command::CalcMissingFields)->text(), QStringLiteral("&Calc. missing fields"));
}

TEST_F(SpeakerUnitDialogTest, TypedDataSheetValuesAreCompletedFromTheMenu) {
    dialog->action(Command::New)->trigger();
    EXPECT_TRUE(host.messages.empty()) << "nothing was changed yet";
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
    EXPECT_EQ(widgetBeeps, 0);
}

TEST_F(SpeakerUnitDialogTest, CrosscalcRefusesAContradictoryQtsAndGreysTheCommand) {
    dialog->crosscalcBox()->click();
    EXPECT_EQ(unit.crosscalc, 1);
    EXPECT_FALSE(dialog->action(Command::CalcMissingFields)->isEnabled());

    type(UnitField::Qts, QStringLiteral("0.5")); // above Qes 0.37
    EXPECT_EQ(shown(UnitField::Qts), QStringLiteral("0.30"));
    EXPECT_EQ(unit.Qts, 0.3);
    EXPECT_EQ(host.beeps, 1);

    type(UnitField::Vas, QStringLiteral("40"));
    EXPECT_EQ(shown(UnitField::Cms), QStringLiteral("1.7e-03")); // 0.04 / (0.013^2 * 140000)
}

TEST_F(SpeakerUnitDialogTest, AChangedUnitAsksBeforeClosing) {
    dialog->typeButton(4)->click();
    dialog->dualCoilBox()->click();
    EXPECT_EQ(unit.speakerType, 4);
    EXPECT_EQ(unit.dualCoil, 1);
    host.answers = {MessageResult::Cancel};
    dialog->close();
    test::drainEvents();
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.lastMessage().caption, "Speaker unit editor");
    EXPECT_EQ(host.lastMessage().text, "File has been changed.\r\nSave before exit ?");

    host.answers = {MessageResult::No};
    dialog->close();
    test::drainEvents();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(host.commandState(cmd::DriverEdit), CommandState::Enabled);
    EXPECT_EQ(unit.editorLeft, dialog->pos().x());
}

TEST_F(SpeakerUnitDialogTest, PrintAndNoteGoThroughTheirHooks) {
    std::string printed;
    dialog->setPrinter([&](std::string_view, std::string_view, std::string_view text) {
        printed = text;
        return PrintOutcome::Printed;
    });
    dialog->action(Command::PrintData)->trigger();
    EXPECT_EQ(printed, unit.dataSheetText());

    dialog->setNoteEditor([](QWidget*, const QString& old) -> std::optional<QString> {
        return old + QStringLiteral("line 1\nline 2");
    });
    dialog->action(Command::UserNote)->trigger();
    EXPECT_EQ(unit.noteText(), "line 1\r\nline 2");
}

} // namespace
} // namespace harlox
