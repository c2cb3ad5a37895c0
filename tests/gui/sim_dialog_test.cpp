#include "gui/sim_dialog.h"

#include "filter/general.h"
#include "filter/imp_response.h"
#include "filter/music_filter.h"
#include "filter/xover.h"
#include "gui/dbl_edit.h"
#include "dialog_test_support.h"
#include "temp_dir.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace harlox {
namespace {

class SimDialogTest : public test::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        project = std::make_unique<TXover>(general, 0, ui);
        ui.runPosted();
        ui.messages.clear();
        // 40 blocks of music: headerless 16-bit stereo.
        std::ofstream(dir.file("in.pcm"), std::ios::binary) << std::string(40 * 256 * 4, '\x11');
    }
    void open() {
        dialog = std::make_unique<TSimDialog>(nullptr, *project, ui);
        test::showActive(dialog.get());
    }
    // Lets the block timer run until the filter is idle again.
    void runToEnd() {
        for (int i = 0; i < 1000 && dialog->filter().busy(); ++i)
            test::drainEvents();
        ASSERT_FALSE(dialog->filter().busy());
    }
    TImpResponse& owner() { return project->ImpResponse(); }

    test::TempDir dir;
    TGeneral general;
    std::unique_ptr<TXover> project;
    std::unique_ptr<TSimDialog> dialog;
};

TEST_F(SimDialogTest, FieldsBrowseAndSettingsLiveInTheProject) {
    open();
    EXPECT_EQ(dialog->inputField()->text(), QStringLiteral("N.A"));
    EXPECT_EQ(dialog->outputField()->text(), QStringLiteral("N.A"));
    EXPECT_EQ(dialog->scaleField()->text(), QStringLiteral("0.0"));
    EXPECT_TRUE(dialog->timeField()->isReadOnly());
    EXPECT_TRUE(owner().dialogOpen);

    // Start without files says what is missing.
    QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, TSimDialog::kChooseFiles);
    EXPECT_FALSE(dialog->filter().busy());

    ui.files = {dir.file("in.pcm"), std::nullopt, dir.file("out.wav")};
    QTest::mouseClick(dialog->inputBrowse(), Qt::LeftButton);
    QTest::mouseClick(dialog->outputBrowse(), Qt::LeftButton); // cancelled
    QTest::mouseClick(dialog->outputBrowse(), Qt::LeftButton);
    EXPECT_EQ(dialog->inputField()->text(), QString::fromStdString(dir.file("in.pcm")));
    EXPECT_EQ(dialog->outputField()->text(), QString::fromStdString(dir.file("out.wav")));
    ASSERT_EQ(ui.fileRequests.size(), 3u);
    EXPECT_NE(ui.fileRequests[0].filter.find("*.flac"), std::string::npos);

    // Scale keeps its range; the fields write the project's settings.
    const int beepsBefore = beeps;
    enter(dialog->scaleField(), QStringLiteral("41"));
    EXPECT_GT(beeps, beepsBefore);
    EXPECT_EQ(owner().scaleDb, 0.0);
    enter(dialog->scaleField(), QStringLiteral("-6.5"));
    EXPECT_EQ(owner().scaleDb, -6.5);
    dialog->hrtfBox()->click();
    EXPECT_TRUE(owner().simulateHrtf);

    // A new dialog shows what the last one left.
    dialog.reset();
    EXPECT_FALSE(owner().dialogOpen);
    open();
    EXPECT_EQ(dialog->scaleField()->text(), QStringLiteral("-6.5"));
    EXPECT_TRUE(dialog->hrtfBox()->isChecked());
    EXPECT_EQ(dialog->outputField()->text(), QString::fromStdString(dir.file("out.wav")));
}

TEST_F(SimDialogTest, RunsFromTheTimerStopsBetweenBlocksAndClosesTheFiles) {
    owner().inputSelector.rememberedPath = dir.file("in.pcm");
    owner().outputSelector.rememberedPath = dir.file("out.pcm");
    open();
    QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
    ASSERT_TRUE(dialog->filter().busy());
    EXPECT_EQ(dialog->startButton()->text(), QStringLiteral("Stop"));
    EXPECT_TRUE(dialog->blockTimer()->isActive());
    EXPECT_FALSE(dialog->inputBrowse()->isEnabled());
    // Stop between blocks: the next pass closes the files.
    dialog->runBlock();
    QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
    EXPECT_EQ(dialog->filter().state(), TMusicFilter::State::Stopping);
    runToEnd();
    EXPECT_EQ(ui.lastMessage().text, "Ready");
    EXPECT_EQ(dialog->startButton()->text(), QStringLiteral("Start"));
    EXPECT_FALSE(dialog->blockTimer()->isActive());
    EXPECT_LT(std::filesystem::file_size(dir.file("out.pcm")), 40u * 256 * 4);

    // Run to the end: every input frame plus the delay, the time of the whole input.
    QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
    runToEnd();
    EXPECT_EQ(std::filesystem::file_size(dir.file("out.pcm")), (40u * 256 + 512) * 4);
    EXPECT_EQ(dialog->timeField()->text(), test::shown("%2.1f", 40 * 256 / 44100.0));
    EXPECT_EQ(ui.lastMessage().text, "Ready");

    // Closing while it runs ends the run with the files closed.
    QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
    ASSERT_TRUE(dialog->filter().busy());
    const std::size_t messages = ui.messages.size();
    dialog->close();
    test::drainEvents();
    EXPECT_FALSE(dialog->filter().busy());
    EXPECT_EQ(ui.messages.size(), messages + 1);
}

TEST_F(SimDialogTest, DisabledImpulseResponseRefusesAndCloses) {
    general.disableIfft = 1;
    open();
    test::drainEvents();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "Impulse response disabled");
    EXPECT_EQ(ui.lastMessage().text, "Impulse reponse must be enabled for this feature");
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(SimDialogTest, Screenshot) {
    const char* shots = std::getenv("HARLOX_SCREENSHOTS");
    if (!shots) GTEST_SKIP() << "HARLOX_SCREENSHOTS not set";
    owner().inputSelector.rememberedPath = dir.file("in.pcm");
    owner().outputSelector.rememberedPath = dir.file("out.wav");
    owner().scaleDb = 3.0;
    open();
    QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
    for (int i = 0; i < 30; ++i)
        dialog->runBlock();
    dialog->blockTimer()->stop();
    dialog->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/sim_dialog.png"));
}

} // namespace
} // namespace harlox
