#include "gui/help_viewer.h"

#include "gui_test_support.h"
#include "temp_dir.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace harlox {
namespace {

TEST(HelpViewer, ReadsUtf8AndOlderLatin1TextsAndNamesAMissingFile) {
    test::TempDir dir;
    test::writeAll(dir.file("a.txt"), {'F', 'l', 0xC3, 0xA4, 'c', 'h', 'e', '\r', '\n', '\t', 'x'});
    test::writeAll(dir.file("b.txt"), {'F', 'l', 0xE4, 'c', 'h', 'e'});
    HelpViewer v;
    ASSERT_TRUE(v.loadFile(QString::fromStdString(dir.file("a.txt"))));
    EXPECT_EQ(v.text(), QStringLiteral("Fl\u00E4che\n\tx"));
    EXPECT_EQ(v.windowTitle(), QStringLiteral("a.txt"));
    ASSERT_TRUE(v.loadFile(QString::fromStdString(dir.file("b.txt"))));
    EXPECT_EQ(v.text(), QStringLiteral("Fl\u00E4che"));

    QString shown;
    QTimer::singleShot(0, [&shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        box->accept();
    });
    EXPECT_EQ(HelpViewer::showFile(QString::fromStdString(dir.file("prndiag.txt"))), nullptr);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("The help file \"prndiag.txt\" was not found.")));
}

} // namespace
} // namespace harlox
