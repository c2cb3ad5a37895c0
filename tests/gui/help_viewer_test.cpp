#include "gui/help_viewer.h"

#include "gui_test_support.h"
#include "temp_dir.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QMessageBox>
#include <QTextBrowser>
#include <QTimer>

#include <cstdlib>

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

// The house layout becomes headings, rows of a table, list items and joined paragraphs; nothing
// of the raw underlines is left, and markup-like text stays text.
TEST(HelpViewer, RendersTheHouseLayout) {
    const QString html = helpTextToHtml(QStringLiteral(
        "Closed box\n==========\n\nA sealed box <small>\nbehind the cone.\n\nTuning\n-----\n\n"
        "Fields\n  Box volume [l]   Net volume,\n                   in litres.\n  Sim. port nonlinearity\n"
        "                     Limits the speed.\n\nTips\n  - First tip\n    goes on.\n  - Second tip\n\n"
        "Windows\n  An indented paragraph\n  of two lines.\n"));
    const QString expected = QStringLiteral(
        "<h2>Closed box</h2>\n<p>A sealed box &lt;small&gt; behind the cone.</p>\n<h3>Tuning</h3>\n"
        "<h4>Fields</h4>\n<table cellspacing=\"0\" cellpadding=\"3\">"
        "<tr><td style=\"padding-right:12px\"><b>Box volume [l]</b></td><td>Net volume, in litres.</td></tr>"
        "<tr><td style=\"padding-right:12px\"><b>Sim. port nonlinearity</b></td><td>Limits the speed.</td></tr>"
        "</table>\n<h4>Tips</h4>\n<ul><li>First tip goes on.</li><li>Second tip</li></ul>\n"
        "<h4>Windows</h4>\n<blockquote>An indented paragraph of two lines.</blockquote>\n");
    EXPECT_EQ(html.toStdString(), expected.toStdString());
}

// Every shipped help file renders with its title as the first heading and loses no word.
TEST(HelpViewer, ShowsEveryHelpFileReadably) {
    const QDir help(QStringLiteral(HARLOX_HELP_DIR));
    const QStringList files = help.entryList({QStringLiteral("*.txt")}, QDir::Files);
    ASSERT_GT(files.size(), 30);
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        HelpViewer v;
        ASSERT_TRUE(v.loadFile(help.filePath(name)));
        const QString shown = v.shownText();
        EXPECT_TRUE(shown.startsWith(v.text().section(QLatin1Char('\n'), 0, 0).trimmed()));
        EXPECT_FALSE(shown.contains(QStringLiteral("====")));
        // The words, without underlines, list marks and dashes standing alone.
        const auto words = [](const QString& t) {
            QStringList w = t.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
            w.removeIf([](const QString& x) {
                return x == QStringLiteral("\u2022") || QRegularExpression(QStringLiteral("^[=-]+$")).match(x).hasMatch();
            });
            return w;
        };
        EXPECT_EQ(words(shown), words(v.text()));
        if ((name == QStringLiteral("brefl.txt") || name == QStringLiteral("closed.txt")) &&
            std::getenv("HARLOX_SCREENSHOTS")) {
            v.show();
            v.grab().save(QString::fromLocal8Bit(std::getenv("HARLOX_SCREENSHOTS")) + QStringLiteral("/help_") +
                          QFileInfo(name).baseName() + QStringLiteral(".png"));
        }
    }
}

} // namespace
} // namespace harlox
