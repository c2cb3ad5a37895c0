#include "gui/help_viewer.h"

#include "gui_test_support.h"
#include "temp_dir.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace harlox {
namespace {

std::vector<std::uint8_t> bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

TEST(HelpViewer, ShowsTheFileTitledWithItsName) {
    test::TempDir dir;
    test::writeAll(dir.file("closed.txt"), bytes("Closed box\r\n\r\nBox volume\tthe net volume\r\n"));
    HelpViewer v;
    ASSERT_TRUE(v.loadFile(QString::fromStdString(dir.file("closed.txt"))));
    EXPECT_EQ(v.windowTitle(), QStringLiteral("closed.txt"));
    EXPECT_EQ(v.text(), QStringLiteral("Closed box\n\nBox volume\tthe net volume\n"));
    EXPECT_TRUE(v.errorString().isEmpty());
}

TEST(HelpViewer, ReadsUtf8AndOlderLatin1Texts) {
    test::TempDir dir;
    test::writeAll(dir.file("a.txt"), bytes("Fl\xC3\xA4"
                                            "che"));
    test::writeAll(dir.file("b.txt"), bytes("Fl\xE4"
                                            "che"));
    HelpViewer v;
    ASSERT_TRUE(v.loadFile(QString::fromStdString(dir.file("a.txt"))));
    EXPECT_EQ(v.text(), QStringLiteral("Fl\u00E4che"));
    ASSERT_TRUE(v.loadFile(QString::fromStdString(dir.file("b.txt"))));
    EXPECT_EQ(v.text(), QStringLiteral("Fl\u00E4che"));
}

TEST(HelpViewer, MissingFileSaysWhichFileWasLookedFor) {
    test::TempDir dir;
    HelpViewer v;
    EXPECT_FALSE(v.loadFile(QString::fromStdString(dir.file("prndiag.txt"))));
    EXPECT_TRUE(v.errorString().contains(QStringLiteral("prndiag.txt")));
    EXPECT_TRUE(v.errorString().contains(QStringLiteral("not found")));
    EXPECT_EQ(v.text(), v.errorString());
    EXPECT_EQ(v.windowTitle(), QStringLiteral("prndiag.txt"));
    // a folder is no help file either
    EXPECT_FALSE(v.loadFile(QString::fromStdString(dir.path())));
}

TEST(HelpViewer, ShowFileReportsAMissingFileInAMessageBox) {
    test::TempDir dir;
    QString shown;
    QTimer::singleShot(0, [&shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        box->accept();
    });
    EXPECT_EQ(HelpViewer::showFile(QString::fromStdString(dir.file("nothere.txt"))), nullptr);
    EXPECT_TRUE(shown.contains(QStringLiteral("nothere.txt")));

    test::writeAll(dir.file("here.txt"), bytes("help"));
    HelpViewer* v = HelpViewer::showFile(QString::fromStdString(dir.file("here.txt")));
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(v->isVisible());
    EXPECT_TRUE(v->testAttribute(Qt::WA_DeleteOnClose));
    v->close();
    test::drainEvents();
}

} // namespace
} // namespace harlox
