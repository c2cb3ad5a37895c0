#include "gui/ts_fit_dialog.h"
#include "main_window_fixture.h"

#include "box/box_embryo.h"
#include "core/command_ids.h"
#include "gui/dbl_edit.h"
#include "gui/diagram_view.h"
#include "dialog_test_support.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace harlox {
namespace {

const std::string kMeasured = std::string(HARLOX_SHARED_DATA_DIR) + "/measured/";

void screenshot(QWidget* w, const char* name) {
    if (const char* dir = std::getenv("HARLOX_SCREENSHOTS"))
        w->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QString::fromLatin1(name));
}

// Fills the window with the measured added-mass set as a user would and presses Fit.
void fitMeasuredSet(TTsFitDialog& d, test::ScriptedUiHost& host) {
    host.files.push_back(kMeasured + "L16RNX_0g_242_27mV.zma");
    QTest::mouseClick(d.freeBrowseButton(), Qt::LeftButton);
    test::typeInto(d.secondField(), QString::fromStdString(kMeasured + "L16RNX_8_017g_242_27mV.zma"));
    test::typeInto(d.massField(), QStringLiteral("8.017"));
    QTest::keyClick(d.massField(), Qt::Key_Tab);
    test::typeInto(d.sdField(), QStringLiteral("133"));
    QTest::keyClick(d.sdField(), Qt::Key_Tab);
    test::drainEvents();
    QTest::mouseClick(d.fitButton(), Qt::LeftButton);
}

class TsFitDialogTest : public test::DialogTest {};

TEST_F(TsFitDialogTest, FitsTheTypedSetShowsBothCurvesAndSavesTheUnit) {
    TTsFitDialog d(nullptr, ui, nullptr);
    test::showActive(&d);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Fit from impedance"));
    EXPECT_FALSE(d.saveButton()->isEnabled());
    EXPECT_FALSE(d.volumeField()->isEnabled());
    fitMeasuredSet(d, ui);
    ASSERT_TRUE(d.fitter().ok()) << d.fitter().message();
    EXPECT_TRUE(ui.messages.empty());

    const TTsFit::Input in = d.input();
    EXPECT_DOUBLE_EQ(in.addedMass, 8.017e-3);
    EXPECT_DOUBLE_EQ(in.Sd, 133e-4);
    const TSpkData& u = d.fitter().unit();
    EXPECT_EQ(d.resultField(TTsFitDialog::Fs)->text(), test::shown("%.2f", u.fs));
    EXPECT_EQ(d.resultField(TTsFitDialog::Vas)->text(), test::shown("%.2f", u.Vas * 1e3));
    EXPECT_TRUE(d.resultField(TTsFitDialog::Bl)->isReadOnly());
    EXPECT_FALSE(d.resultField(TTsFitDialog::SemiInductance)->text().isEmpty());
    const DiagramModel& m = d.diagram();
    ASSERT_EQ(m.curveCount(), 4);
    EXPECT_EQ(m.curve(0).label, "Measured");
    EXPECT_EQ(m.curve(1).label, "Fitted");
    EXPECT_EQ(m.pointCount(), TTsFit::kGridPoints);
    screenshot(&d, "ts_fit_dialog.png");

    // Save unit... writes the fitted unit where the selector says.
    test::TempDir dir;
    ui.files.push_back(dir.file("fitted.unt"));
    EXPECT_FALSE(d.loadButton()->isEnabled()); // no project to load into
    QTest::mouseClick(d.saveButton(), Qt::LeftButton);
    TSpkData saved;
    ASSERT_TRUE(saved.Load(dir.file("fitted.unt")));
    EXPECT_DOUBLE_EQ(saved.fs, u.fs);
    EXPECT_DOUBLE_EQ(saved.Vas, u.Vas);

    // A changed curve makes the fit stale; one that cannot be read says why, and the
    // results and curves go.
    test::typeInto(d.freeField(), QString::fromStdString(dir.file("missing.zma")));
    EXPECT_FALSE(d.saveButton()->isEnabled());
    d.boxButton()->click();
    EXPECT_TRUE(d.volumeField()->isEnabled());
    EXPECT_FALSE(d.massField()->isEnabled());
    QTest::mouseClick(d.fitButton(), Qt::LeftButton);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Fit from impedance");
    EXPECT_NE(ui.lastMessage().text.find("missing.zma"), std::string::npos) << ui.lastMessage().text;
    EXPECT_TRUE(d.resultField(TTsFitDialog::Fs)->text().isEmpty());
    EXPECT_EQ(d.diagram().pointCount(), 0);
}

// The menu command opens the window on the open project; Load into project hands the unit over.
class TsFitMainWindowTest : public test::MainWindowFixture {};

TEST_F(TsFitMainWindowTest, MenuCommandFitsAndLoadsTheUnitIntoTheProject) {
    host.files.push_back(unitPath());
    window->runCommand(cmd::NewClosed);
    host.runPosted();
    ASSERT_NE(window->boxProject(), nullptr);
    ASSERT_TRUE(enabled(cmd::DriverFit));
    bool opened = false;
    double fittedFs = 0.0;
    answerDialog = [&](QDialog& dialog) {
        auto* d = qobject_cast<TTsFitDialog*>(&dialog);
        if (!d) return 1;
        opened = true;
        d->show();
        fitMeasuredSet(*d, host);
        fittedFs = d->fitter().unit().fs;
        EXPECT_TRUE(d->loadButton()->isEnabled());
        host.files.push_back(dir.file("fitted.unt"));
        QTest::mouseClick(d->loadButton(), Qt::LeftButton);
        return 1;
    };
    window->runCommand(cmd::DriverFit);
    host.runPosted();
    ASSERT_TRUE(opened);
    EXPECT_TRUE(std::filesystem::exists(dir.file("fitted.unt")));
    EXPECT_GT(fittedFs, 40.0);
    EXPECT_DOUBLE_EQ(window->boxProject()->front().fs, fittedFs);
}

} // namespace
} // namespace harlox
