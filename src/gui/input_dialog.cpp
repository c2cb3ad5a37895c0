#include "gui/input_dialog.h"

#include "gui/model_text.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>

namespace harlox {

TInputDialog::TInputDialog(QWidget* parent, const QString& caption, const QString& text, std::size_t maxBytes)
    : TBaseDialog(parent, QString(), Buttons(OkButton | HelpButton)), edit_(new QPlainTextEdit(content())),
      maxBytes_(maxBytes) {
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(content());
    layout->setContentsMargins(0, 0, 0, 0);
    edit_->setTabChangesFocus(true);
    edit_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    const QFontMetrics fm(edit_->font());
    edit_->setMinimumSize(fm.averageCharWidth() * 60, fm.lineSpacing() * (maxBytes > 100 ? 10 : 3));
    layout->addWidget(edit_);
    edit_->setPlainText(fromModelText(toModelText(text, maxBytes_)));
    edit_->moveCursor(QTextCursor::End);
    connect(edit_, &QPlainTextEdit::textChanged, this, &TInputDialog::enforceLimit);
}

QString TInputDialog::text() const {
    return fromModelText(toModelText(edit_->toPlainText(), maxBytes_));
}

void TInputDialog::enforceLimit() {
    if (limiting_) return;
    const QString all = edit_->toPlainText();
    const QString fitting = fromModelText(toModelText(all, maxBytes_));
    if (fitting.size() == all.size()) return;
    // Typing or pasting past the end keeps what fits; the user hears why the rest is gone.
    limiting_ = true;
    const int cursor = std::min<int>(edit_->textCursor().position(), static_cast<int>(fitting.size()));
    edit_->setPlainText(fitting);
    QTextCursor c = edit_->textCursor();
    c.setPosition(cursor);
    edit_->setTextCursor(c);
    limiting_ = false;
    QApplication::beep();
}

} // namespace harlox
