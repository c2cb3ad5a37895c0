#include "gui/info_win.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QScrollBar>
#include <QTextDocument>
#include <QStringList>

#include <cmath>

namespace harlox {

TInfoWin::TInfoWin(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // The sheet lines line up their values with tabs: a fixed-pitch font keeps the columns.
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    setFont(f);
    setTabStopDistance(QFontMetricsF(f).horizontalAdvance(QLatin1Char(' ')) * 8);
    // Lines are never wrapped or cut: what does not fit scrolls.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

int TInfoWin::contentWidth() const {
    const QFontMetricsF fm(font());
    const double tab = tabStopDistance() > 0 ? tabStopDistance() : fm.horizontalAdvance(QLatin1Char(' ')) * 8;
    double widest = 0.0;
    for (const QString& line : toPlainText().split(QLatin1Char('\n'))) {
        // Tabs advance to the next stop, as the editor lays them out.
        double x = 0.0;
        const QStringList pieces = line.split(QLatin1Char('\t'));
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            if (i > 0) x = std::floor(x / tab + 1.0) * tab;
            x += fm.horizontalAdvance(pieces[i]);
        }
        widest = std::max(widest, x);
    }
    const double chrome = 2.0 * frameWidth() + 2.0 * document()->documentMargin() + contentsMargins().left() +
                          contentsMargins().right() + verticalScrollBar()->sizeHint().width() + 4.0;
    return static_cast<int>(std::ceil(widest + chrome));
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
