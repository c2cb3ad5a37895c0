#include "gui/driver_library_window.h"
#include "main_window_fixture.h"

#include "box/box_embryo.h"
#include "core/command_ids.h"
#include "driver/speaker_object.h"
#include "driver/unit_completion.h"
#include "gui/dbl_edit.h"
#include "gui_test_support.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace harlox {
namespace {

// Writes a picture of the widget when HARLOX_SCREENSHOTS names a folder.
void screenshot(QWidget& w, const char* name) {
    if (const char* shots = std::getenv("HARLOX_SCREENSHOTS"))
        w.grab().save(QString::fromLocal8Bit(shots) + QLatin1Char('/') + QString::fromLatin1(name));
}

class DriverLibraryWindowTest : public test::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        std::filesystem::create_directories(dir.file("examples"));
        std::filesystem::copy(std::string(HARLOX_HELP_DIR) + "/../examples/drivers",
                              dir.file("examples/drivers"));
        host.files.push_back(unitPath());
        window->runCommand(cmd::NewClosed);
        host.runPosted();
        ASSERT_NE(window->boxProject(), nullptr);
        host.messages.clear();
    }
    // Opens the window from the menu and runs body on it while it is shown.
    void withWindow(const std::function<void(TDriverLibraryWindow&)>& body) {
        bool ran = false;
        answerDialog = [&](QDialog& d) {
            auto* w = dynamic_cast<TDriverLibraryWindow*>(&d);
            if (!w) return 2;
            test::showActive(w);
            body(*w);
            ran = true;
            return 2;
        };
        ASSERT_TRUE(enabled(cmd::DriverLibrary));
        window->runCommand(cmd::DriverLibrary);
        EXPECT_TRUE(ran);
    }
    static QStringList column(const TDriverLibraryWindow& w, int c) {
        QStringList out;
        for (int r = 0; r < w.table()->rowCount(); ++r)
            out << w.table()->item(r, c)->text();
        return out;
    }
    static void enter(QLineEdit* field, const char* text) {
        test::typeInto(field, QString::fromLatin1(text));
        QTest::keyClick(field, Qt::Key_Return);
        test::drainEvents();
    }
};

TEST_F(DriverLibraryWindowTest, FiltersSortsAndLoadsACopyIntoTheProject) {
    withWindow([this](TDriverLibraryWindow& w) {
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Driver library"));
        EXPECT_EQ(w.countLabel()->text(), QStringLiteral("24 of 24 drivers"));
        QStringList headers;
        for (int c = 0; c < w.table()->columnCount(); ++c)
            headers << w.table()->horizontalHeaderItem(c)->text();
        EXPECT_EQ(headers.join(QLatin1Char('|')),
                  QStringLiteral("Manufacturer|Model|fs [Hz]|Qts|Vas [l]|Sd [cm^2]|Xmax [mm]"));
        EXPECT_FALSE(w.loadButton()->isEnabled()) << "nothing selected";
        screenshot(w, "driver-library-all.png");

        test::typeInto(w.searchEdit(), QStringLiteral("scan"));
        EXPECT_EQ(column(w, TDriverLibraryWindow::ModelColumn).join(QLatin1Char(',')),
                  QStringLiteral("25W/8561,25W/8565-00"));
        w.searchEdit()->clear();
        enter(w.minField(LibraryField::fs), "50");
        enter(w.maxField(LibraryField::Sd), "100");
        EXPECT_EQ(w.countLabel()->text(), QStringLiteral("3 of 24 drivers"));
        enter(w.minField(LibraryField::Xmax), "abc"); // refused: the field keeps its value
        EXPECT_EQ(w.minField(LibraryField::Xmax)->text(), QStringLiteral("0"));
        w.table()->sortByColumn(TDriverLibraryWindow::FsColumn, Qt::DescendingOrder);
        EXPECT_EQ(column(w, TDriverLibraryWindow::FsColumn).join(QLatin1Char(',')),
                  QStringLiteral("193.0,54.0,52.0"));
        w.table()->selectRow(1);
        ASSERT_TRUE(w.loadButton()->isEnabled());
        screenshot(w, "driver-library.png");
        host.files.push_back(dir.file("copy"));
        QTest::mouseClick(w.loadButton(), Qt::LeftButton);
        EXPECT_EQ(host.fileRequests.back().filter, kUnitFileFilter);
        EXPECT_EQ(host.fileRequests.back().mode, FileMode::Save);
    });
    const TSpkData& unit = window->boxProject()->front();
    EXPECT_EQ(unit.modelText(), "SW146WA02");
    EXPECT_DOUBLE_EQ(unit.fs, 54.0);
    EXPECT_EQ(window->boxProject()->frontUnitPath(), "copy.unt"); // below the program folder
    TSpkData copy;
    ASSERT_TRUE(copy.Load(dir.file("copy.unt"))) << "the project uses the copy, not the table";
}

TEST_F(DriverLibraryWindowTest, ImportsTablesAndSaysWhatItRefused) {
    const std::string csv = dir.file("mine.csv");
    std::ofstream(csv) << "Brand,Model,fs [Hz],Qts,Qes,Qms,Vas [l],Sd [cm2],Re [ohm],Mms [g],Colour\n"
                          "Acme,Z9,34,0.3,0.37,1.6,32.9,130,6.1,15.8,red\n"
                          "Acme,Z10,,0.3,0.37,1.6,32.9,130,6.1,15.8,blue\n";
    test::writeAll(dir.file("bad.json"), {'{', '"', 'm'});
    withWindow([&](TDriverLibraryWindow& w) {
        host.files.push_back(csv);
        QTest::mouseClick(w.importButton(), Qt::LeftButton);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.lastMessage().caption, "Driver library");
        EXPECT_EQ(host.lastMessage().text, "1 driver imported, 1 refused.\n" + csv +
                                               " row 3 (Acme Z10): fs missing\n\nIgnored columns: Colour");
        EXPECT_EQ(host.lastMessage().icon, MessageIcon::Exclamation);
        EXPECT_EQ(w.countLabel()->text(), QStringLiteral("25 of 25 drivers"));
        test::typeInto(w.searchEdit(), QStringLiteral("acme"));
        EXPECT_EQ(column(w, TDriverLibraryWindow::ModelColumn), QStringList{QStringLiteral("Z9")});

        host.files.push_back(dir.file("bad.json"));
        QTest::mouseClick(w.importButton(), Qt::LeftButton);
        EXPECT_EQ(host.lastMessage().text, "'" + dir.file("bad.json") + "' is not valid JSON");
        EXPECT_EQ(w.countLabel()->text(), QStringLiteral("1 of 25 drivers"));
    });
}

} // namespace
} // namespace harlox
