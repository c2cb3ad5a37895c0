#include "gui/speaker_config_dialog.h"

#include "box/bandpass_box.h"
#include "box/closed_box.h"
#include "driver/speaker_object.h"
#include "gui/dbl_edit.h"
#include "gui/electrical_conn_dialog.h"
#include "gui/long_edit.h"
#include "dialog_test_support.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

class SpeakerConfigDialogTest : public test::ProjectTest<TClosedBox> {
protected:
    void SetUp() override {
        ProjectTest::SetUp();
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

TEST_F(SpeakerConfigDialogTest, DriverCountSetsSeriesAndTheListOffersTheCountsConnections) {
    EXPECT_EQ(dialog->importFileField()->text(), QStringLiteral("Not in use"));
    EXPECT_FALSE(dialog->connectionButton()->isEnabled() || dialog->coilGroupBox()->isEnabled());

    const double before = project->SPL[0];
    enter(dialog->driverCountField(), QStringLiteral("6"));
    EXPECT_EQ(unit().driverConnection, TSpeakerObject::kSeriesConnection);
    EXPECT_EQ(dialog->connectionLabel()->text(), QStringLiteral("Series"));
    EXPECT_EQ(unit().unitChanged, 0) << "the project recalculated";
    EXPECT_NE(project->SPL[0], before);

    TElectricalConnDialog* conn = openConnections();
    ASSERT_NE(conn, nullptr);
    std::vector<std::string> names;
    for (int i = 0; i < conn->list()->count(); ++i)
        names.push_back(conn->list()->item(i)->text().toStdString());
    EXPECT_EQ(names, (std::vector<std::string>{"Series", "Parallell", "2-2-2", "3-3", "Sep. sources"}));
    conn->list()->setCurrentRow(3);
    QTest::mouseClick(conn->okButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(unit().driverConnection, 4);
    EXPECT_EQ(dialog->connectionLabel()->text(), QStringLiteral("3-3"));

    // Cancel leaves it.
    conn = openConnections();
    ASSERT_NE(conn, nullptr);
    EXPECT_EQ(conn->list()->currentItem()->text(), QStringLiteral("3-3"));
    conn->list()->setCurrentRow(0);
    QTest::mouseClick(conn->cancelButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(unit().driverConnection, 4);
}

TEST_F(SpeakerConfigDialogTest, BrowseChoosesTheMeasuredFile) {
    const std::string missing = std::string(HARLOX_TEST_DATA_DIR) + "/none/such.frd";
    ui.files.push_back(missing);
    dialog->browseButton()->click();
    ASSERT_EQ(ui.fileRequests.size(), 1u);
    EXPECT_EQ(ui.fileRequests[0].filter, "LAUD frequency resp (*.frd)|*.frd|LEAP (*.gdt)|*.gdt|CLIO "
                                         "(*.txt)|*.txt|MLLSA (*.fmp)|*.fmp|All (*.*)|*.*");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Measured data");
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
    EXPECT_EQ(dialog->levelOffsetField()->text(), test::shown("%2.1f", unit().levelOffsetDb));
}

// Bandpass 4 drives its cones in pairs: 2 .. 8 in steps of 2.
TEST(DriverCountRange, BandpassFourStepsInPairs) {
    test::ScriptedUiHost ui;
    TBP8Box project(ui);
    project.front().SetDefaultUnit();
    ASSERT_EQ(project.front().driverCount, 2);
    TSpeakerConfigDialog dialog(nullptr, project, project.front(), ui);
    test::showActive(&dialog);
    TLongEdit* count = dialog.driverCountField();
    EXPECT_EQ(count->entry().minimum(), 2);
    EXPECT_EQ(count->entry().maximum(), 8);
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i) {
        count->setFocus();
        QTest::keyClick(count, Qt::Key_Up);
        test::drainEvents();
        seen.push_back(project.front().driverCount);
    }
    EXPECT_EQ(seen, (std::vector<int>{4, 6, 8, 8}));
    // A count typed between two pairs snaps to one.
    test::typeInto(count, QStringLiteral("3"));
    QTest::keyClick(count, Qt::Key_Return);
    test::drainEvents();
    EXPECT_EQ(project.front().driverCount, 4);
    EXPECT_EQ(count->text(), QStringLiteral("4"));
}

} // namespace
} // namespace harlox
