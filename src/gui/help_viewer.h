#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace harlox {

// The help files are plain text that reads well raw: a title underlined with "=====" (a
// section with "-----"), paragraphs, a short heading line over an indented block, indented
// "term   description" rows and "- " list items. This makes HTML of them for the viewer.
QString helpTextToHtml(const QString& text);

// A read-only window showing a help file, rendered with headings, titled with the file's name.
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    static constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;

    explicit HelpViewer(QWidget* parent = nullptr);

    // Loads the file; when it is missing, unreadable or too large the window shows why and
    // the result is false.
    [[nodiscard]] bool loadFile(const QString& path);
    // The file's text as read, before rendering.
    [[nodiscard]] QString text() const { return text_; }
    // What the window shows, as plain text.
    [[nodiscard]] QString shownText() const;
    [[nodiscard]] const QString& errorString() const { return error_; }

    // Opens a viewer (deleted when closed) for the file; when the file cannot be shown, a
    // message box says so and the result is nullptr.
    static HelpViewer* showFile(const QString& path, QWidget* parent = nullptr);

private:
    QTextBrowser* browser_;
    QString text_;
    QString error_;
};

} // namespace harlox
