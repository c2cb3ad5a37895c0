#include "gui/speaker_config_dialog.h"

#include "box/closed_box.h"
#include "core/format.h"
#include "driver/speaker_object.h"
#include "gui/dbl_edit.h"
#include "gui/electrical_conn_dialog.h"
#include "gui/long_edit.h"
#include "dialog_test_support.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

class SpeakerConfigDialogTest : public test::ProjectTest<TClosedBox> {
protected:
    void open() {
        dialog = std::make_unique<TSpeakerConfigDialog>(nullptr, *project, unit(), ui);
        test::showActive(dialog.get());
    }
    TElectricalConnDialog* openConnections() {
        TElectricalConnDialog* conn = dialog->openConnectionDialog();
        test::drainEvents(); // the activation of the window below it comes first
        if (conn) test::showActive(conn);
        return conn;
    }
    TSpeakerObject& unit() { return project->front(); }

    std::unique_ptr<TSpeakerConfigDialog> dialog;
};

TEST_F(SpeakerConfigDialogTest, ShowsTheConfigurationAndDriverCountResetsTheConnection) {
    open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Driver unit configuration"));
    EXPECT_EQ(dialog->helpFile(), QStringLiteral("drvcfg.txt"));
    EXPECT_EQ(dialog->driverCountField()->text(), QStringLiteral("1"));
    EXPECT_FALSE(dialog->connectionButton()->isEnabled());
    EXPECT_EQ(dialog->importFileField()->text(), QStringLiteral("Not in use"));
    EXPECT_TRUE(dialog->levelOffsetField()->isReadOnly()) << "the calculation sets the automatic offset";
    EXPECT_FALSE(dialog->coilGroupBox()->isEnabled()) << "a single voice coil";

    const double before = project->SPL[0];
    typeAndEnter(dialog->driverCountField(), QStringLiteral("2"));
    EXPECT_TRUE(dialog->extraMassField()->hasFocus());
    settle();
    EXPECT_EQ(unit().driverCount, 2);
    EXPECT_EQ(unit().driverConnection, TSpeakerObject::kSeriesConnection);
    EXPECT_EQ(dialog->connectionLabel()->text(), QStringLiteral("Series"));
    EXPECT_TRUE(dialog->connectionButton()->isEnabled());
    EXPECT_EQ(unit().unitChanged, 0) << "the project recalculated";
    EXPECT_NE(project->SPL[0], before);
}

TEST_F(SpeakerConfigDialogTest, ConnectionListOffersTheCountsWiringsAndOkStoresOne) {
    ASSERT_TRUE(unit().setDriverCount(6));
    open();
    TElectricalConnDialog* conn = openConnections();
    ASSERT_NE(conn, nullptr);
    EXPECT_EQ(conn->windowTitle(), QStringLiteral("Electrical connection"));
    std::vector<std::string> names;
    for (int i = 0; i < conn->list()->count(); ++i)
        names.push_back(conn->list()->item(i)->text().toStdString());
    EXPECT_EQ(names, (std::vector<std::string>{"Series", "Parallell", "2-2-2", "3-3", "Sep. sources"}));

    conn->list()->setCurrentRow(3);
    QTest::mouseClick(conn->okButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(unit().driverConnection, 4);
    EXPECT_EQ(dialog->connectionLabel()->text(), QStringLiteral("3-3"));
    EXPECT_EQ(unit().unitChanged, 0);

    // Cancel leaves it.
    conn = openConnections();
    ASSERT_NE(conn, nullptr);
    EXPECT_EQ(conn->list()->currentItem()->text(), QStringLiteral("3-3"));
    conn->list()->setCurrentRow(0);
    QTest::mouseClick(conn->cancelButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(unit().driverConnection, 4);
}

TEST_F(SpeakerConfigDialogTest, WiringOptionsAndNumbersReachTheUnit) {
    unit().dualCoil = 1;
    unit().UnitEdited();
    open();
    dialog->isobaricBox()->click();
    EXPECT_EQ(unit().isobaric, 1);
    ASSERT_TRUE(dialog->isobaricButton(TSpeakerObject::kPairSeries)->isEnabled());
    dialog->isobaricButton(TSpeakerObject::kPairSeries)->click();
    EXPECT_EQ(unit().isobaricConnection, TSpeakerObject::kPairSeries);

    ASSERT_TRUE(dialog->coilGroupBox()->isEnabled());
    dialog->coilButton(TSpeakerObject::kPairParallel)->click();
    EXPECT_EQ(unit().coilConnection, TSpeakerObject::kPairParallel);

    enter(dialog->extraMassField(), QStringLiteral("25"));
    EXPECT_DOUBLE_EQ(unit().extraMass, 0.025);

    for (QCheckBox* b : {dialog->blBox(), dialog->heatingBox(), dialog->cmsBox(), dialog->disableBox()})
        b->click();
    EXPECT_EQ(unit().blNonlinear, 1);
    EXPECT_EQ(unit().coilHeating, 1);
    EXPECT_EQ(unit().cmsNonlinear, 1);
    EXPECT_EQ(unit().importDisabled, 1);

    dialog->autoLevelBox()->click();
    EXPECT_EQ(unit().autoLevel, 0);
    EXPECT_FALSE(dialog->levelOffsetField()->isReadOnly());
    enter(dialog->levelOffsetField(), QStringLiteral("-6"));
    enter(dialog->transitionField(), QStringLiteral("20000"));
    enter(dialog->phaseLagField(), QStringLiteral("500"));
    EXPECT_DOUBLE_EQ(unit().levelOffsetDb, -6.0);
    EXPECT_EQ(unit().transitionFrequency, 20000);
    EXPECT_DOUBLE_EQ(unit().phaseLagCutoff, 500.0);
    EXPECT_EQ(unit().unitChanged, 0);
}

TEST_F(SpeakerConfigDialogTest, BrowseChoosesTheMeasuredFile) {
    open();
    const std::string missing = std::string(HARLOX_TEST_DATA_DIR) + "/none/such.frd";
    ui.files.push_back(missing);
    dialog->browseButton()->click();
    ASSERT_EQ(ui.fileRequests.size(), 1u);
    EXPECT_EQ(ui.fileRequests[0].filter, "LAUD frequency resp (*.frd)|*.frd|LEAP (*.gdt)|*.gdt|CLIO "
                                         "(*.txt)|*.txt|MLLSA (*.fmp)|*.fmp|All (*.*)|*.*");
    EXPECT_EQ(dialog->importFileField()->text(), QString::fromStdString(missing));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Measured data");
    EXPECT_EQ(ui.lastMessage().text,
              "Could not open file : " + missing + "\nCheck if path and filename is correct.");
    EXPECT_EQ(unit().importUsable, 0);
    settle();

    // A real measurement takes over above the transition frequency.
    ui.files.push_back(std::string(HARLOX_SHARED_DATA_DIR) + "/measured/sample.frd");
    dialog->browseButton()->click();
    settle();
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(unit().importInUse());
    EXPECT_EQ(unit().unitChanged, 0) << "recalculated with the data";
    // The automatic offset was found by the calculation and is shown.
    EXPECT_EQ(dialog->levelOffsetField()->text(),
              QString::fromStdString(strprintf("%2.1f", unit().levelOffsetDb)));
}

} // namespace
} // namespace harlox
