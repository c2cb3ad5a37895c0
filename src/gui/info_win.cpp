#include "gui/info_win.h"

#include <QFontDatabase>
#include <QFontMetricsF>

namespace harlox {

TInfoWin::TInfoWin(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // The sheet lines line up their values with tabs: a fixed-pitch font keeps the columns.
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    setFont(f);
    setTabStopDistance(QFontMetricsF(f).horizontalAdvance(QLatin1Char(' ')) * 8);
}

void TInfoWin::setContents(const QString& sheet, const QString& note) {
    if (sheet == sheet_ && note == note_ && !toPlainText().isEmpty()) return;
    sheet_ = sheet;
    note_ = note;
    QString all = sheet;
    if (!note.isEmpty()) {
        if (!all.isEmpty() && !all.endsWith(QLatin1Char('\n'))) all += QLatin1Char('\n');
        all += note;
    }
    setPlainText(all);
}

} // namespace harlox
