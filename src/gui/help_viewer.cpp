#include "gui/help_viewer.h"

#include "gui/model_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace harlox {

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window), edit_(new QPlainTextEdit(this)) {
    edit_->setReadOnly(true);
    edit_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont f = font();
    f.setStyleHint(QFont::SansSerif);
    if (f.pointSizeF() > 0) f.setPointSizeF(f.pointSizeF() * 1.1);
    edit_->setFont(f);
    edit_->setTabStopDistance(QFontMetricsF(f).horizontalAdvance(QLatin1Char(' ')) * 8);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit_);
    resize(640, 520);
}

bool HelpViewer::loadFile(const QString& path) {
    const QFileInfo info(path);
    setWindowTitle(info.fileName());
    error_.clear();
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
        edit_->setPlainText(error_);
        return false;
    }
    const QByteArray bytes = file.read(kMaxFileSize);
    QString text = fromModelText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    edit_->setPlainText(text);
    return true;
}

QString HelpViewer::text() const {
    return edit_->toPlainText();
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
