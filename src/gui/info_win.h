#pragma once

#include <QPlainTextEdit>
#include <QString>

#include <algorithm>

namespace harlox {

// The data sheet window of a box project: the lines of the last calculation followed by
// the user note, read-only.
class TInfoWin : public QPlainTextEdit {
    Q_OBJECT

public:
    static constexpr int kDefaultWidth = 420;
    static constexpr int kDefaultHeight = 520;

    explicit TInfoWin(QWidget* parent = nullptr);

    // Shows the sheet (lines separated by '\n') and the note; unchanged text is not reset,
    // so the scroll position survives recalculations that change nothing.
    void setContents(const QString& sheet, const QString& note);
    [[nodiscard]] const QString& sheet() const { return sheet_; }
    [[nodiscard]] const QString& note() const { return note_; }
    // Sheet and note as shown.
    [[nodiscard]] QString contents() const { return toPlainText(); }

    // Wide enough for the longest line without a horizontal scroll bar.
    [[nodiscard]] int contentWidth() const;

    QSize sizeHint() const override { return {std::max(kDefaultWidth, contentWidth()), kDefaultHeight}; }

private:
    QString sheet_;
    QString note_;
};

} // namespace harlox
