#include "gui/base_dialog.h"

#include "core/program_dir.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMetaObject>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace harlox {

namespace {

std::function<void(const QString&)>& helpHook() {
    static std::function<void(const QString&)> hook;
    return hook;
}

} // namespace

void TBaseDialog::setHelpHook(std::function<void(const QString& path)> hook) {
    helpHook() = std::move(hook);
}

TBaseDialog::TBaseDialog(QWidget* parent, const QString& helpFile, Buttons buttons)
    : QDialog(parent), helpFile_(helpFile) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->horizontalScrollBar()->setSingleStep(kScrollStep);
    scroll_->verticalScrollBar()->setSingleStep(kScrollStep);
    outer->addWidget(scroll_);

    auto* page = new QWidget;
    auto* pageLayout = new QVBoxLayout(page);
    content_ = new QWidget(page);
    pageLayout->addWidget(content_);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    if (buttons.testFlag(OkButton)) {
        ok_ = new QPushButton(tr("OK"), page);
        ok_->setDefault(true);
        connect(ok_, &QPushButton::clicked, this, &TBaseDialog::okCommand);
        row->addWidget(ok_);
    }
    if (buttons.testFlag(CancelButton)) {
        cancel_ = new QPushButton(tr("Cancel"), page);
        connect(cancel_, &QPushButton::clicked, this, &TBaseDialog::cancelCommand);
        row->addWidget(cancel_);
    }
    if (buttons.testFlag(HelpButton)) {
        help_ = new QPushButton(QStringLiteral("?"), page);
        connect(help_, &QPushButton::clicked, this, &TBaseDialog::helpCommand);
        row->addWidget(help_);
    }
    pageLayout->addLayout(row);
    scroll_->setWidget(page);
}

QString TBaseDialog::helpPath() const {
    if (helpFile_.isEmpty()) return {};
    return QString::fromStdString(programPath("help/" + helpFile_.toStdString()));
}

void TBaseDialog::okCommand() {
    // Enter in a field only moves on: a later Escape must still cancel.
    if (ok_ && ok_->hasFocus()) {
        result_ = ResultOk;
        closing_ = true;
        postCloseRequest();
    } else {
        moveFocusNext();
    }
}

void TBaseDialog::cancelCommand() {
    result_ = ResultCancel;
    moveFocusForClose();
    closing_ = true;
    postCloseRequest();
}

void TBaseDialog::helpCommand() {
    if (helpFile_.isEmpty() || !helpHook()) return;
    helpHook()(helpPath());
}

void TBaseDialog::showHelpFile(const QString& helpFile) {
    if (helpHook()) helpHook()(QString::fromStdString(programPath("help/" + helpFile.toStdString())));
}

void TBaseDialog::reject() {
    cancelCommand();
}

void TBaseDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        okCommand();
        event->accept();
        return;
    case Qt::Key_Escape:
        cancelCommand();
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void TBaseDialog::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        finish();
        return;
    }
    // First let the field being edited commit, then close on the next round.
    event->ignore();
    closeRequest();
}

void TBaseDialog::closeRequest() {
    if (closing_) {
        finish();
        return;
    }
    moveFocusForClose();
    closing_ = true;
    postCloseRequest();
}

void TBaseDialog::postCloseRequest() {
    QMetaObject::invokeMethod(
        this, [this] { closeRequest(); }, Qt::QueuedConnection);
}

void TBaseDialog::moveFocusNext() {
    focusNextChild();
    if (QWidget* w = focusWidget(); w && scroll_->widget()->isAncestorOf(w)) scroll_->ensureWidgetVisible(w);
}

void TBaseDialog::moveFocusForClose() {
    if (ok_) {
        ok_->setFocus(Qt::OtherFocusReason);
    } else {
        moveFocusNext();
    }
}

void TBaseDialog::finish() {
    if (!isVisible()) return; // a second close request after the dialog ended
    if (QWidget* p = parentWidget()) p->update();
    done(result_);
}

void TBaseDialog::showEvent(QShowEvent* event) {
    closing_ = false;
    result_ = ResultCancel;
    if (!setUpDone_) setUp();
    QDialog::showEvent(event);
}

void TBaseDialog::setUp() {
    setUpDone_ = true;
    // The buttons follow the fields in tab order, whenever the fields were created.
    QWidget* lastField = nullptr;
    QWidget* firstField = nullptr;
    for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
        if (content_->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus)) {
            if (!firstField) firstField = w;
            lastField = w;
        }
    }
    QWidget* previous = lastField;
    for (QPushButton* b : {ok_, cancel_, help_}) {
        if (!b) continue;
        if (previous) setTabOrder(previous, b);
        previous = b;
    }
    if (firstField) firstField->setFocus(Qt::OtherFocusReason);

    // Full size: everything visible. Smaller than that shows scroll bars, larger is refused.
    QWidget* page = scroll_->widget();
    fullSize_ = page->sizeHint().expandedTo(page->minimumSizeHint());
    page->setMinimumSize(fullSize_);
    // A window with a menu bar ("&Optimize") is that much taller.
    if (const QWidget* bar = layout()->menuBar()) {
        fullSize_.rheight() += bar->sizeHint().height();
        fullSize_.setWidth(std::max(fullSize_.width(), bar->sizeHint().width()));
    }
    resize(fullSize_);
    setMaximumSize(fullSize_);
}

} // namespace harlox
