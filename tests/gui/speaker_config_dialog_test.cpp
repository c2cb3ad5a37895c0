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

class SpeakerConfigDialogTest : public test::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        project = std::make_unique<TClosedBox>(ui);
        unit().SetDefaultUnit();
        project->Calculate(0);
        ui.runPosted();
        ui.messages.clear();
    }
    void TearDown() override {
        dialog.reset();
        project.reset();
        DialogTest::TearDown();
    }
    void open() {
        dialog = std::make_unique<TSpeakerConfigDialog>(nullptr, *project, unit(), ui);
        test::showActive(dialog.get());
    }
    TSpeakerObject& unit() { return project->front(); }

    std::unique_ptr<TClosedBox> project;
    std::unique_ptr<TSpeakerConfigDialog> dialog;
};

TEST_F(SpeakerConfigDialogTest, ShowsTheConfiguration) {
    open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Driver unit configuration"));
    EXPECT_EQ(dialog->helpFile(), QStringLiteral("drvcfg.txt"));
    EXPECT_EQ(dialog->driverCountField()->text(), QStringLiteral("1"));
    EXPECT_FALSE(dialog->connectionButton()->isEnabled());
    EXPECT_EQ(dialog->importFileField()->text(), QStringLiteral("Not in use"));
    EXPECT_EQ(dialog->transitionField()->text(), QStringLiteral("300"));
    EXPECT_TRUE(dialog->autoLevelBox()->isChecked());
    EXPECT_TRUE(dialog->levelOffsetField()->isReadOnly()) << "the calculation sets the automatic offset";
    EXPECT_FALSE(dialog->isobaricButton(TSpeakerObject::kPairSeries)->isEnabled());
    EXPECT_TRUE(dialog->isobaricButton(TSpeakerObject::kPairSeparate)->isChecked());
}

TEST_F(SpeakerConfigDialogTest, OwnCaption) {
    TSpeakerConfigDialog rear(nullptr, *project, project->rear(), ui,
                              QStringLiteral("Rear driver unit configuration"));
    EXPECT_EQ(rear.windowTitle(), QStringLiteral("Rear driver unit configuration"));
}

TEST_F(SpeakerConfigDialogTest, DriverCountResetsTheConnectionAndRecalculates) {
    ASSERT_EQ(unit().driverConnection, TSpeakerObject::kSeparateSourcesConnection);
    open();
    const double before = project->SPL[0];
    typeAndEnter(dialog->driverCountField(), QStringLiteral("2"));
    EXPECT_TRUE(dialog->extraMassField()->hasFocus());
    settle();
    EXPECT_EQ(unit().driverCount, 2);
    EXPECT_EQ(unit().driverConnection, TSpeakerObject::kSeriesConnection);
    EXPECT_EQ(unit().driverGroup, TSpeakerObject::driverMultipliers(0, 2));
    EXPECT_EQ(dialog->connectionLabel()->text(), QStringLiteral("Series"));
    EXPECT_TRUE(dialog->connectionButton()->isEnabled());
    EXPECT_EQ(unit().unitChanged, 0) << "the project recalculated";
    EXPECT_NE(project->SPL[0], before);

    typeAndEnter(dialog->driverCountField(), QStringLiteral("10"));
    settle();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(unit().driverCount, 2);
}

struct ConnectionCase {
    int drivers;
    std::vector<std::string> names;
};

class ConnectionListTest : public SpeakerConfigDialogTest,
                           public ::testing::WithParamInterface<ConnectionCase> {};

TEST_P(ConnectionListTest, OffersTheConnectionsForTheCount) {
    open();
    typeAndEnter(dialog->driverCountField(), QString::number(GetParam().drivers));
    settle();
    dialog->connectionButton()->click();
    auto* conn = dialog->findChild<TElectricalConnDialog*>();
    ASSERT_NE(conn, nullptr);
    EXPECT_TRUE(conn->isVisible());
    EXPECT_TRUE(conn->isModal());
    EXPECT_EQ(conn->windowTitle(), QStringLiteral("Electrical connection"));
    EXPECT_EQ(conn->helpFile(), QStringLiteral("elconn.txt"));
    std::vector<std::string> names;
    for (int i = 0; i < conn->list()->count(); ++i)
        names.push_back(conn->list()->item(i)->text().toStdString());
    EXPECT_EQ(names, GetParam().names);
    EXPECT_EQ(conn->list()->currentRow(), 0) << "the present connection, Series";
    conn->close();
}

INSTANTIATE_TEST_SUITE_P(
    Counts, ConnectionListTest,
    ::testing::Values(ConnectionCase{2, {"Series", "Parallell", "Sep. sources"}},
                      ConnectionCase{4, {"Series", "Parallell", "2-2", "Sep. sources"}},
                      ConnectionCase{6, {"Series", "Parallell", "2-2-2", "3-3", "Sep. sources"}},
                      ConnectionCase{8, {"Series", "Parallell", "2-2-2-2", "4-4", "Sep. sources"}},
                      ConnectionCase{9, {"Series", "Parallell", "3-3-3", "Sep. sources"}}),
    [](const ::testing::TestParamInfo<ConnectionCase>& info) { return std::to_string(info.param.drivers); });

TEST_F(SpeakerConfigDialogTest, ConnectionOkStoresTheChosenOne) {
    ASSERT_TRUE(unit().setDriverCount(6));
    open();
    TElectricalConnDialog* conn = dialog->openConnectionDialog();
    ASSERT_NE(conn, nullptr);
    test::drainEvents(); // the activation of the window below it comes first
    test::showActive(conn);
    conn->list()->setCurrentRow(3); // "3-3"
    QTest::mouseClick(conn->okButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(unit().driverConnection, 4);
    EXPECT_EQ(unit().driverGroup, TSpeakerObject::driverMultipliers(4, 6));
    EXPECT_EQ(dialog->connectionLabel()->text(), QStringLiteral("3-3"));
    EXPECT_EQ(unit().unitChanged, 0);

    // Cancel leaves it.
    conn = dialog->openConnectionDialog();
    ASSERT_NE(conn, nullptr);
    test::drainEvents();
    test::showActive(conn);
    EXPECT_EQ(conn->list()->currentItem()->text(), QStringLiteral("3-3"));
    conn->list()->setCurrentRow(0);
    QTest::mouseClick(conn->cancelButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(unit().driverConnection, 4);
}

TEST_F(SpeakerConfigDialogTest, DoubleVoiceCoilOnlyForDualCoilUnits) {
    open();
    EXPECT_FALSE(dialog->coilGroupBox()->isEnabled());
    dialog.reset();
    unit().dualCoil = 1;
    unit().UnitEdited();
    open();
    ASSERT_TRUE(dialog->coilGroupBox()->isEnabled());
    dialog->coilButton(TSpeakerObject::kPairParallel)->click();
    EXPECT_EQ(unit().coilConnection, TSpeakerObject::kPairParallel);
    EXPECT_EQ(unit().coilGroup, TSpeakerObject::pairMultipliers(TSpeakerObject::kPairParallel));
    EXPECT_EQ(ui.posted.size(), 2u) << "the notification and the refresh after it";
}

TEST_F(SpeakerConfigDialogTest, IsobaricMounting) {
    open();
    dialog->isobaricBox()->click();
    EXPECT_EQ(unit().isobaric, 1);
    EXPECT_TRUE(dialog->isobaricButton(TSpeakerObject::kPairSeries)->isEnabled());
    dialog->isobaricButton(TSpeakerObject::kPairSeries)->click();
    EXPECT_EQ(unit().isobaricConnection, TSpeakerObject::kPairSeries);
    EXPECT_EQ(unit().isobaricGroup, TSpeakerObject::pairMultipliers(TSpeakerObject::kPairSeries));
    settle();
    EXPECT_EQ(unit().unitChanged, 0);
}

TEST_F(SpeakerConfigDialogTest, OptionsAndNumbersReachTheUnit) {
    open();
    typeAndEnter(dialog->extraMassField(), QStringLiteral("25"));
    settle();
    EXPECT_DOUBLE_EQ(unit().extraMass, 0.025);
    typeAndEnter(dialog->extraMassField(), QStringLiteral("1000.1"));
    settle();
    EXPECT_EQ(beeps, 1);
    EXPECT_DOUBLE_EQ(unit().extraMass, 0.025);

    for (QCheckBox* b : {dialog->blBox(), dialog->heatingBox(), dialog->cmsBox(), dialog->disableBox()}) {
        unit().unitChanged = 0;
        b->click();
        EXPECT_EQ(unit().unitChanged, 1) << b->text().toStdString();
    }
    EXPECT_EQ(unit().blNonlinear, 1);
    EXPECT_EQ(unit().coilHeating, 1);
    EXPECT_EQ(unit().cmsNonlinear, 1);
    EXPECT_EQ(unit().importDisabled, 1);

    dialog->autoLevelBox()->click();
    EXPECT_EQ(unit().autoLevel, 0);
    EXPECT_FALSE(dialog->levelOffsetField()->isReadOnly());
    typeAndEnter(dialog->levelOffsetField(), QStringLiteral("-6"));
    settle();
    EXPECT_DOUBLE_EQ(unit().levelOffsetDb, -6.0);
    EXPECT_NEAR(unit().levelScale, 0.501187, 1e-6);

    typeAndEnter(dialog->transitionField(), QStringLiteral("20000"));
    settle();
    EXPECT_EQ(unit().transitionFrequency, 20000);
    typeAndEnter(dialog->transitionField(), QStringLiteral("0"));
    settle();
    EXPECT_EQ(unit().transitionFrequency, 20000);
    typeAndEnter(dialog->phaseLagField(), QStringLiteral("500"));
    settle();
    EXPECT_DOUBLE_EQ(unit().phaseLagCutoff, 500.0);
    EXPECT_EQ(beeps, 2);
}

TEST_F(SpeakerConfigDialogTest, BrowseChoosesTheMeasuredFile) {
    open();
    ui.files.push_back(std::nullopt);
    dialog->browseButton()->click();
    ASSERT_EQ(ui.fileRequests.size(), 1u);
    EXPECT_EQ(ui.fileRequests[0].filter, "LAUD frequency resp (*.frd)|*.frd|LEAP (*.gdt)|*.gdt|CLIO "
                                         "(*.txt)|*.txt|MLLSA (*.fmp)|*.fmp|All (*.*)|*.*");
    EXPECT_EQ(ui.fileRequests[0].mode, FileMode::Open);
    EXPECT_EQ(dialog->importFileField()->text(), QStringLiteral("Not in use"));
    EXPECT_TRUE(ui.posted.empty());

    const std::string missing = std::string(HARLOX_TEST_DATA_DIR) + "/none/such.frd";
    ui.files.push_back(missing);
    dialog->browseButton()->click();
    EXPECT_EQ(unit().importFileText(), missing);
    EXPECT_EQ(dialog->importFileField()->text(), QString::fromStdString(missing));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Measured data");
    EXPECT_EQ(ui.lastMessage().text,
              "Could not open file : " + missing + "\nCheck if path and filename is correct.");
    EXPECT_EQ(unit().importUsable, 0);
    settle();

    // A real measurement takes over above the transition frequency.
    const std::string measured = std::string(HARLOX_SHARED_DATA_DIR) + "/measured/sample.frd";
    ui.files.push_back(measured);
    dialog->browseButton()->click();
    EXPECT_EQ(unit().importUsable, 1);
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
