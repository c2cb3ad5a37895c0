#include "gui/help_viewer.h"

#include "gui/model_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace harlox {

namespace {

int indentOf(const QString& line) {
    int n = 0;
    while (n < line.size() && line[n] == QLatin1Char(' '))
        ++n;
    return n;
}

bool isUnderline(const QString& line, QChar ch) {
    const QString t = line.trimmed();
    return t.size() >= 3 && t.count(ch) == t.size();
}

// Where the description of "  term   description" starts (a run of two or more spaces after
// the term), or -1.
int descriptionColumn(const QString& line) {
    const int start = indentOf(line);
    const int gap = line.indexOf(QStringLiteral("  "), start);
    if (gap < 0) return -1;
    int col = gap;
    while (col < line.size() && line[col] == QLatin1Char(' '))
        ++col;
    return col < line.size() ? col : -1;
}

QString esc(const QString& s) {
    return s.toHtmlEscaped();
}

class HtmlWriter {
public:
    explicit HtmlWriter(const QStringList& lines) : lines_(lines) {}

    QString run() {
        while (i_ < lines_.size()) {
            const QString& line = lines_[i_];
            const QString next = i_ + 1 < lines_.size() ? lines_[i_ + 1] : QString();
            if (line.trimmed().isEmpty()) {
                ++i_;
            } else if (indentOf(line) == 0 && isUnderline(next, QLatin1Char('='))) {
                html_ += QStringLiteral("<h2>%1</h2>\n").arg(esc(line.trimmed()));
                i_ += 2;
            } else if (indentOf(line) == 0 && isUnderline(next, QLatin1Char('-'))) {
                html_ += QStringLiteral("<h3>%1</h3>\n").arg(esc(line.trimmed()));
                i_ += 2;
            } else if (indentOf(line) == 0 && indentOf(next) > 0 && !next.trimmed().isEmpty() &&
                       line.size() <= 40 && !line.trimmed().endsWith(QLatin1Char('.'))) {
                // A short line over an indented block heads it ("Fields", "Tips").
                html_ += QStringLiteral("<h4>%1</h4>\n").arg(esc(line.trimmed()));
                ++i_;
            } else if (indentOf(line) == 0) {
                paragraph(0, QStringLiteral("p"));
            } else {
                indentedBlock();
            }
        }
        return html_;
    }

private:
    // Lines of one paragraph at this indent, joined.
    void paragraph(int indent, const QString& tag) {
        QStringList words;
        while (i_ < lines_.size() && !lines_[i_].trimmed().isEmpty() && indentOf(lines_[i_]) == indent &&
               !(i_ + 1 < lines_.size() && (isUnderline(lines_[i_ + 1], QLatin1Char('=')) ||
                                            isUnderline(lines_[i_ + 1], QLatin1Char('-'))))) {
            words << lines_[i_].trimmed();
            ++i_;
            if (indent > 0 && i_ < lines_.size() && isListItem(lines_[i_])) break;
        }
        html_ += QStringLiteral("<%1>%2</%1>\n").arg(tag, esc(words.join(QLatin1Char(' '))));
    }

    static bool isListItem(const QString& line) {
        return line.trimmed().startsWith(QStringLiteral("- "));
    }

    // Continuation lines deeper than the given indent, joined to text.
    void continuation(int indent, QString& text) {
        while (i_ < lines_.size() && !lines_[i_].trimmed().isEmpty() && indentOf(lines_[i_]) > indent &&
               !isListItem(lines_[i_])) {
            text += QLatin1Char(' ') + lines_[i_].trimmed();
            ++i_;
        }
    }

    // Everything indented up to the next blank line or unindented line: rows, items, text.
    void indentedBlock() {
        QString table;
        QString list;
        const auto flushTable = [&] {
            if (table.isEmpty()) return;
            html_ += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">%1</table>\n").arg(table);
            table.clear();
        };
        const auto flushList = [&] {
            if (list.isEmpty()) return;
            html_ += QStringLiteral("<ul>%1</ul>\n").arg(list);
            list.clear();
        };
        while (i_ < lines_.size() && !lines_[i_].trimmed().isEmpty() && indentOf(lines_[i_]) > 0) {
            const QString line = lines_[i_];
            const int indent = indentOf(line);
            const QString next = i_ + 1 < lines_.size() ? lines_[i_ + 1] : QString();
            if (isListItem(line)) {
                flushTable();
                QString item = line.trimmed().mid(2);
                ++i_;
                continuation(indent, item);
                list += QStringLiteral("<li>%1</li>").arg(esc(item));
                continue;
            }
            flushList();
            const int col = descriptionColumn(line);
            const bool termAlone = col < 0 && indentOf(next) > indent + 4 && !next.trimmed().isEmpty();
            if (col > 0 || termAlone) {
                const QString term = col > 0 ? line.mid(indent, col - indent).trimmed() : line.trimmed();
                QString text = col > 0 ? line.mid(col).trimmed() : QString();
                ++i_;
                continuation(indent, text);
                table += QStringLiteral("<tr><td style=\"padding-right:12px\"><b>%1</b></td><td>%2</td></tr>")
                             .arg(esc(term), esc(text.trimmed()));
                continue;
            }
            flushTable();
            paragraph(indent, QStringLiteral("blockquote"));
        }
        flushTable();
        flushList();
    }

    const QStringList& lines_;
    qsizetype i_ = 0;
    QString html_;
};

} // namespace

QString helpTextToHtml(const QString& text) {
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    plain.replace(QLatin1Char('\t'), QStringLiteral("        "));
    const QStringList lines = plain.split(QLatin1Char('\n'));
    return HtmlWriter(lines).run();
}

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this)) {
    browser_->setOpenLinks(false);
    browser_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    browser_->document()->setDocumentMargin(14);
    browser_->document()->setDefaultStyleSheet(
        QStringLiteral("h2 { margin-bottom: 6px; } h3 { margin-top: 14px; } h4 { margin-top: 12px; "
                       "margin-bottom: 2px; } blockquote { margin-left: 18px; } td { vertical-align: top; }"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(680, 560);
}

bool HelpViewer::loadFile(const QString& path) {
    const QFileInfo info(path);
    setWindowTitle(info.fileName());
    error_.clear();
    text_.clear();
    QFile file(path);
    if (!info.exists() || !info.isFile()) {
        error_ = QStringLiteral("The help file \"%1\" was not found.\nLooked for: %2")
                     .arg(info.fileName(), QDir::toNativeSeparators(info.absoluteFilePath()));
    } else if (info.size() > kMaxFileSize) {
        error_ = QStringLiteral("The help file \"%1\" is too large to show.").arg(info.fileName());
    } else if (!file.open(QIODevice::ReadOnly)) {
        error_ = QStringLiteral("The help file \"%1\" could not be read: %2")
                     .arg(info.fileName(), file.errorString());
    }
    if (!error_.isEmpty()) {
        browser_->setPlainText(error_);
        return false;
    }
    const QByteArray bytes = file.read(kMaxFileSize);
    text_ = fromModelText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    text_.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    browser_->setHtml(helpTextToHtml(text_));
    return true;
}

QString HelpViewer::shownText() const {
    return browser_->toPlainText();
}

HelpViewer* HelpViewer::showFile(const QString& path, QWidget* parent) {
    auto* viewer = new HelpViewer(parent);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    if (!viewer->loadFile(path)) {
        QMessageBox::warning(parent, QStringLiteral("Help"), viewer->errorString());
        delete viewer;
        return nullptr;
    }
    viewer->show();
    return viewer;
}

} // namespace harlox
