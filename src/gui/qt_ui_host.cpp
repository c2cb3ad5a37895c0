#include "gui/qt_ui_host.h"

#include "app/file_filter.h"
#include "gui/beep.h"
#include "gui/model_text.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QWidget>

namespace harlox {

namespace {

// A wait cursor over a dialog would tell the user the program is busy while it waits for them.
class NormalCursorWhile {
public:
    explicit NormalCursorWhile(bool waiting) : active_(waiting) {
        if (active_) QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~NormalCursorWhile() {
        if (active_) QApplication::restoreOverrideCursor();
    }
    NormalCursorWhile(const NormalCursorWhile&) = delete;
    NormalCursorWhile& operator=(const NormalCursorWhile&) = delete;

private:
    bool active_;
};

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::None:
        return QMessageBox::NoIcon;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

bool confirm(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, QStringLiteral("Confirm"), text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

} // namespace

QtUiHost::QtUiHost(QWidget* dialogParent, QObject* parent) : QObject(parent), dialogParent_(dialogParent) {}

QtUiHost::~QtUiHost() {
    if (waitCursor_) QApplication::restoreOverrideCursor();
}

QString QtUiHost::messageText(std::string_view text) {
    QString s = fromModelText(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

MessageResult QtUiHost::messageBox(std::string_view caption, std::string_view text, MessageIcon icon,
                                   MessageButtons buttons) {
    QMessageBox box(dialogParent_);
    box.setWindowTitle(fromModelText(caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(messageText(text));
    box.setIcon(qtIcon(icon));
    switch (buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    case MessageButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    const NormalCursorWhile normal(waitCursor_);
    box.exec();
    const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
    if (pressed == QMessageBox::Ok) return MessageResult::Ok;
    if (pressed == QMessageBox::Yes) return MessageResult::Yes;
    if (pressed == QMessageBox::No) return MessageResult::No;
    if (pressed == QMessageBox::Cancel) return MessageResult::Cancel;
    // Closed some other way: the answer that changes nothing.
    switch (buttons) {
    case MessageButtons::Ok:
        return MessageResult::Ok;
    case MessageButtons::YesNo:
        return MessageResult::No;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel:
        return MessageResult::Cancel;
    }
    return MessageResult::Cancel;
}

std::optional<std::string> QtUiHost::selectFile(FileSelector& selector, FileMode mode) {
    const bool save = mode == FileMode::Save;
    QFileDialog dlg(dialogParent_, save ? QStringLiteral("Save as") : QStringLiteral("Open"));
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Opening a name that does not exist could only fail, so Open accepts existing files only.
    dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QString filters = fromModelText(convertFilterList(selector.filter));
    if (!filters.isEmpty()) dlg.setNameFilters(filters.split(QStringLiteral(";;")));
    std::string ext = selector.defaultExtension;
    if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
    if (save && !ext.empty()) dlg.setDefaultSuffix(fromModelText(ext));
    if (!selector.rememberedPath.empty()) {
        const QFileInfo fi(QFile::decodeName(selector.rememberedPath.c_str()));
        if (fi.isDir()) {
            dlg.setDirectory(fi.absoluteFilePath());
        } else {
            dlg.setDirectory(fi.absolutePath());
            dlg.selectFile(fi.fileName());
        }
    }

    const NormalCursorWhile normal(waitCursor_);
    while (true) {
        if (dlg.exec() != QDialog::Accepted) return std::nullopt;
        const QStringList files = dlg.selectedFiles();
        if (files.isEmpty()) return std::nullopt;
        QString chosen = files.first();
        if (save) {
            // The dialog appends the suffix itself, but a platform dialog may not.
            const std::string full = withDefaultExtension(QFile::encodeName(chosen).toStdString(), ext);
            const QString withExt = QFile::decodeName(full.c_str());
            if (withExt != chosen && QFileInfo::exists(withExt) &&
                !confirm(&dlg, QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                   .arg(QFileInfo(withExt).fileName()))) {
                continue;
            }
            if (selector.confirmCreate && !QFileInfo::exists(withExt) &&
                !confirm(&dlg, QStringLiteral("%1 does not exist.\nDo you want to create it?")
                                   .arg(QFileInfo(withExt).fileName()))) {
                continue;
            }
            chosen = withExt;
        }
        selector.rememberedPath = QFile::encodeName(chosen).toStdString();
        return selector.rememberedPath;
    }
}

void QtUiHost::beep() {
    warningBeep();
}

void QtUiHost::setWaitCursor(bool on) {
    if (on == waitCursor_) return;
    waitCursor_ = on;
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void QtUiHost::setCommandState(int commandId, CommandState state) {
    commands_.set(commandId, state);
    if (onCommandState_) onCommandState_(commandId, state);
    emit commandStateChanged(commandId, static_cast<int>(state));
}

CommandState QtUiHost::commandState(int commandId) const {
    return commands_.state(commandId);
}

void QtUiHost::post(std::function<void()> call) {
    if (!call) return;
    // Queued on this object: calls still pending when the host goes away are dropped.
    QMetaObject::invokeMethod(
        this, [c = std::move(call)] { c(); }, Qt::QueuedConnection);
}

void QtUiHost::repaint() {
    if (onRepaint_) onRepaint_();
    emit repaintRequested();
}

} // namespace harlox
