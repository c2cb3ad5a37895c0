#include "gui/speaker_unit_dialog.h"

#include "core/command_ids.h"
#include "driver/spk_data.h"
#include "gui/beep.h"
#include "gui/dbl_edit.h"
#include "gui_test_support.h"
#include "scripted_ui_host.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace harlox {
namespace {

using test::drainEvents;

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
        drainEvents();
    }
    QString shown(UnitField f) const { return dialog->field(f)->text(); }

    // The menu bar's action with this text, looked up the way a user finds it.
    QAction* menuAction(const QString& text) const {
        for (QAction* a : dialog->menuBar()->actions()) {
            if (a->text() == text) return a;
            if (a->menu()) {
                for (QAction* b : a->menu()->actions()) {
                    if (b->text() == text) return b;
                }
            }
        }
        return nullptr;
    }

    test::ScriptedUiHost host;
    TSpkData unit;
    FileSelector selector;
    std::unique_ptr<TSpeakerUnitDialog> dialog;
    int widgetBeeps = 0;
};

TEST_F(SpeakerUnitDialogTest, ShowsTheBuiltInUnitFirstWithTheMenuOfTheEditor) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Speaker unit editor"));
    EXPECT_EQ(dialog->manufacturerEdit()->text(), QStringLiteral("PEERLESS"));
    EXPECT_EQ(dialog->modelEdit()->text(), QStringLiteral("180 WR/832732"));
    EXPECT_EQ(dialog->fileNameEdit()->text(), QStringLiteral("832732.UNT"));
    EXPECT_TRUE(dialog->fileNameEdit()->isReadOnly());
    EXPECT_TRUE(dialog->typeButton(1)->isChecked());
    EXPECT_EQ(dialog->typeButton(3)->text(), QStringLiteral("Mid./Treble"));
    EXPECT_EQ(shown(UnitField::Sd), QStringLiteral("130.0"));
    EXPECT_EQ(shown(UnitField::Vas), QStringLiteral("32.90"));
    EXPECT_EQ(shown(UnitField::Cms), QStringLiteral("1.4e-03"));
    EXPECT_EQ(shown(UnitField::Mms), QStringLiteral("15.80"));
    EXPECT_EQ(shown(UnitField::Le), QStringLiteral("0.90"));
    EXPECT_EQ(shown(UnitField::Pmax), QStringLiteral("150"));
    EXPECT_EQ(shown(UnitField::h), QStringLiteral("6.0"));
    EXPECT_EQ(dialog->efficiencyLabel()->text(), QStringLiteral("0.34"));
    EXPECT_EQ(dialog->sensitivityLabel()->text(), QStringLiteral("87.3"));
    EXPECT_EQ(host.commandState(cmd::DriverEdit), CommandState::Greyed);

    QStringList file;
    for (QAction* a : dialog->menuBar()->actions().first()->menu()->actions()) {
        if (!a->isSeparator()) file << a->text();
    }
    EXPECT_EQ(dialog->menuBar()->actions().first()->text(), QStringLiteral("&File"));
    EXPECT_EQ(file, (QStringList{QStringLiteral("&New"), QStringLiteral("&Open..."), QStringLiteral("&Save"),
                                 QStringLiteral("Save &as..."), QStringLiteral("&Print data..."),
                                 QStringLiteral("&Copy data"), QStringLiteral("&User note...")}));
    ASSERT_NE(menuAction(QStringLiteral("&Calc. missing fields")), nullptr);
    EXPECT_TRUE(dialog->crosscalcBox()->text() == QStringLiteral("&Crosscalc"));
    EXPECT_TRUE(dialog->dualCoilBox()->text() == QStringLiteral("&Double voice coil"));
}

TEST_F(SpeakerUnitDialogTest, TypedDataSheetValuesAreCompletedFromTheMenu) {
    menuAction(QStringLiteral("&New"))->trigger();
    EXPECT_TRUE(host.messages.empty()); // nothing was changed yet
    EXPECT_EQ(shown(UnitField::fs), QStringLiteral("0.0"));
    EXPECT_EQ(dialog->efficiencyLabel()->text(), QStringLiteral("--"));

    dialog->manufacturerEdit()->setFocus();
    QTest::keyClicks(dialog->manufacturerEdit(), QStringLiteral("PEERLESS"));
    type(UnitField::fs, QStringLiteral("34"));
    type(UnitField::Qes, QStringLiteral("0,37")); // a decimal comma is read as a point
    EXPECT_EQ(dialog->efficiencyLabel()->text(), QStringLiteral("--"));
    type(UnitField::Vas, QStringLiteral("32.9"));
    // The figures follow every entry.
    EXPECT_EQ(dialog->efficiencyLabel()->text(), QStringLiteral("0.34"));
    EXPECT_EQ(dialog->sensitivityLabel()->text(), QStringLiteral("87.3"));
    type(UnitField::Qms, QStringLiteral("1.68"));
    type(UnitField::Re, QStringLiteral("6.1"));
    type(UnitField::Sd, QStringLiteral("130"));
    EXPECT_EQ(shown(UnitField::Cms), QStringLiteral("0.0e+00")); // Crosscalc is off
    EXPECT_EQ(widgetBeeps, 0);

    menuAction(QStringLiteral("&Calc. missing fields"))->trigger();
    EXPECT_EQ(shown(UnitField::Cms), QStringLiteral("1.4e-03"));
    EXPECT_EQ(shown(UnitField::Mms), QStringLiteral("15.76"));
    EXPECT_EQ(shown(UnitField::Mmd), QStringLiteral("14.92"));
    EXPECT_EQ(shown(UnitField::Bl), QStringLiteral("7.45"));
    EXPECT_EQ(shown(UnitField::Rms), QStringLiteral("2.00"));
    EXPECT_EQ(shown(UnitField::Qts), QStringLiteral("0.30"));
    EXPECT_EQ(shown(UnitField::Cas), QStringLiteral("2.3e-07"));
    EXPECT_EQ(shown(UnitField::Le), QStringLiteral("0.00")); // nothing gives Le
    EXPECT_EQ(dialog->efficiencyLabel()->text(), QStringLiteral("0.34"));
    EXPECT_EQ(dialog->sensitivityLabel()->text(), QStringLiteral("87.3"));

    const double cms = 0.0329 / (140000.0 * 0.013 * 0.013);
    EXPECT_NEAR(dialog->field(UnitField::Cms)->value() / cms, 1.0, 1e-9);
    EXPECT_NEAR(unit.Cms / cms, 1.0, 1e-9);
    EXPECT_TRUE(unit.isSufficient());
    EXPECT_EQ(unit.manufacturerText(), "PEERLESS");
    EXPECT_TRUE(dialog->editor().changed());
}

TEST_F(SpeakerUnitDialogTest, CrosscalcRefusesAContradictoryQtsAndGreysTheCommand) {
    QAction* calc = menuAction(QStringLiteral("&Calc. missing fields"));
    EXPECT_TRUE(calc->isEnabled());
    dialog->crosscalcBox()->click();
    EXPECT_EQ(unit.crosscalc, 1);
    EXPECT_FALSE(calc->isEnabled());

    type(UnitField::Qts, QStringLiteral("0.5")); // above Qes 0.37
    EXPECT_EQ(shown(UnitField::Qts), QStringLiteral("0.30"));
    EXPECT_EQ(unit.Qts, 0.3);
    EXPECT_EQ(host.beeps, 1);

    type(UnitField::Vas, QStringLiteral("40"));
    EXPECT_EQ(shown(UnitField::Cas), QStringLiteral("2.9e-07")); // 40 l / 140000 Pa
    EXPECT_EQ(shown(UnitField::Cms), QStringLiteral("1.7e-03")); // 0.04 / (0.013^2 * 140000)
    EXPECT_NE(shown(UnitField::fs), QStringLiteral("34.0"));
}

TEST_F(SpeakerUnitDialogTest, TypeOptionsAndTextsMarkTheRecordChanged) {
    EXPECT_FALSE(dialog->editor().changed());
    dialog->typeButton(4)->click();
    EXPECT_EQ(unit.speakerType, 4);
    EXPECT_TRUE(dialog->editor().changed());
    dialog->dualCoilBox()->click();
    EXPECT_EQ(unit.dualCoil, 1);
    dialog->modelEdit()->setFocus();
    QTest::keyClicks(dialog->modelEdit(), QStringLiteral("X"));
    EXPECT_EQ(unit.modelText(), "180 WR/832732X");
}

TEST_F(SpeakerUnitDialogTest, ClosingAChangedUnitAsksFirst) {
    type(UnitField::Le, QStringLiteral("1.2"));
    host.answers = {MessageResult::Cancel};
    dialog->close();
    drainEvents();
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.lastMessage().caption, "Speaker unit editor");
    EXPECT_EQ(host.lastMessage().text, "File has been changed.\r\nSave before exit ?");

    host.answers = {MessageResult::No};
    dialog->close();
    drainEvents();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.commandState(cmd::DriverEdit), CommandState::Enabled);
    EXPECT_EQ(unit.editorLeft, dialog->pos().x());
}

TEST_F(SpeakerUnitDialogTest, PrintAndNoteGoThroughTheirHooks) {
    std::string printed;
    dialog->setPrinter([&](std::string_view, std::string_view, std::string_view text) {
        printed = text;
        return PrintOutcome::Printed;
    });
    menuAction(QStringLiteral("&Print data..."))->trigger();
    EXPECT_EQ(printed, unit.dataSheetText());

    dialog->setNoteEditor([](QWidget*, const QString& old) -> std::optional<QString> {
        return old + QStringLiteral("line 1\nline 2");
    });
    menuAction(QStringLiteral("&User note..."))->trigger();
    EXPECT_EQ(unit.noteText(), "line 1\r\nline 2");
    EXPECT_TRUE(dialog->editor().changed());
}

// Not a check: with HARLOX_SCREENSHOT_DIR set, writes the window as a picture to look at.
TEST_F(SpeakerUnitDialogTest, Screenshot) {
    const QString dir = qEnvironmentVariable("HARLOX_SCREENSHOT_DIR");
    if (dir.isEmpty()) GTEST_SKIP() << "HARLOX_SCREENSHOT_DIR not set";
    EXPECT_TRUE(dialog->grab().save(QDir(dir).filePath(QStringLiteral("speaker_unit_dialog.png"))));
}

} // namespace
} // namespace harlox
