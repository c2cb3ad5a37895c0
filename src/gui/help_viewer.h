#pragma once

#include <QString>
#include <QWidget>

class QPlainTextEdit;

namespace harlox {

// A read-only window showing a plain text help file, titled with the file's name.
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    static constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;

    explicit HelpViewer(QWidget* parent = nullptr);

    // Loads the file; when it is missing, unreadable or too large the window shows why and
    // the result is false.
    [[nodiscard]] bool loadFile(const QString& path);
    [[nodiscard]] QString text() const;
    [[nodiscard]] const QString& errorString() const { return error_; }

    // Opens a viewer (deleted when closed) for the file; when the file cannot be shown, a
    // message box says so and the result is nullptr.
    static HelpViewer* showFile(const QString& path, QWidget* parent = nullptr);

private:
    QPlainTextEdit* edit_;
    QString error_;
};

} // namespace harlox
