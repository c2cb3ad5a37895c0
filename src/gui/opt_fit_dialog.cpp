#include "gui/opt_fit_dialog.h"

#include "box/abr_box.h"
#include "box/bandpass_box.h"
#include "box/bass_reflex_box.h"
#include "box/bass_reflex_vel_box.h"
#include "box/box_embryo.h"
#include "box/closed_box.h"
#include "box/double_tuned_box.h"
#include "core/ui_host.h"
#include "gui/dbl_edit.h"
#include "gui/form_rows.h"
#include "gui/long_edit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace harlox {

namespace {

const QString kWidest = QStringLiteral("00000.00");

QString text(const char* s) {
    return QString::fromUtf8(s);
}

} // namespace

TOptFitDialog::TOptFitDialog(Owner owner, TBoxEmbryo& project, UiHost& ui, const Layout& layout)
    : TBaseDialog(&owner.window, text(kHelpFile), Buttons(CancelButton | HelpButton)), project_(project),
      ui_(ui), ownerContent_(owner.window.content()), menu_(owner.menu), menuBar_(owner.menu.bar),
      refresh_(std::move(owner.refresh)), changed_(std::move(owner.changed)), fit_(project) {
    setWindowTitle(text(kCaption));
    cancelButton()->setText(text(kCloseText));
    const TFrequencyFit::Options o = TFrequencyFit::optionsFrom(project_.fitSettings());
    upperCutoff_ = o.upperCutoff;

    auto* column = new QVBoxLayout(content());
    column->setContentsMargins(0, 0, 0, 0);

    auto* target = new QGroupBox(tr("Target"), content());
    QGridLayout* tg = formGrid(target, QStringLiteral("Hz"));
    lower_ = new TLongEdit(target, LowerCutoffField, "%d", TFrequencyFit::kMinLowerCutoff,
                           TFrequencyFit::kMaxLowerCutoff, -1, o.lowerCutoff, 1);
    addFormRow(tg, text(kLowerCutoffText), lower_, QStringLiteral("Hz"), kWidest);
    if (layout.upperCutoff) {
        upper_ = new TLongEdit(target, UpperCutoffField, "%d", TFrequencyFit::kMinUpperCutoff,
                               TFrequencyFit::kMaxUpperCutoff, -1, o.upperCutoff, 1);
        addFormRow(tg, text(kUpperCutoffText), upper_, QStringLiteral("Hz"), kWidest);
    }
    column->addWidget(target);

    auto* options = new QGroupBox(tr("Options"), content());
    auto* og = new QVBoxLayout(options);
    boxQ_ = new QCheckBox(text(layout.boxQText), options);
    og->addWidget(boxQ_);
    if (layout.frontBoxQText) {
        frontBoxQ_ = new QCheckBox(text(layout.frontBoxQText), options);
        og->addWidget(frontBoxQ_);
    }
    intermediate_ = new QCheckBox(text(kIntermediateText), options);
    fineStep_ = new QCheckBox(text(kFineStepText), options);
    og->addWidget(intermediate_);
    og->addWidget(fineStep_);
    column->addWidget(options);

    auto* result = new QGroupBox(tr("Fit"), content());
    QGridLayout* rg = formGrid(result, QStringLiteral("Hz"));
    meanError_ = new TDblEdit(result, MeanErrorField, "%2.2f", 0.0, 1e9, -1.0, -1.0);
    meanError_->setReadOnly(true);
    meanError_->setFocusPolicy(Qt::NoFocus);
    addFormRow(rg, text(kMeanErrorText), meanError_, QStringLiteral("dB"), kWidest);
    run_ = new QPushButton(text(kRunText), result);
    run_->setDefault(true);
    // The Halt text is no wider than this, so the button keeps its size while a fit runs.
    run_->setMinimumWidth(run_->sizeHint().width());
    rg->addWidget(run_, rg->rowCount() - 1, 3);
    // An empty column as wide as the button, so the fields of both groups line up.
    tg->setColumnMinimumWidth(3, run_->sizeHint().width());
    tg->setHorizontalSpacing(rg->horizontalSpacing());
    column->addWidget(result);

    showOptions(o);

    for (TLongEdit* f : {lower_, upper_})
        if (f) connect(f, &TEntryEdit::changed, this, &TOptFitDialog::storeOptions);
    for (QCheckBox* b : {boxQ_, frontBoxQ_, intermediate_, fineStep_})
        if (b) connect(b, &QCheckBox::toggled, this, &TOptFitDialog::storeOptions);
    connect(run_, &QPushButton::clicked, this, &TOptFitDialog::runCommand);

    // Zero interval: one iteration per pass of the event loop, after the events waiting.
    timer_ = new QTimer(this);
    timer_->setInterval(0);
    connect(timer_, &QTimer::timeout, this, &TOptFitDialog::iterate);

    holdOwner(true);
}

TOptFitDialog::~TOptFitDialog() {
    // The input window may be going too: nothing is called back into it.
    if (fit_.running()) fit_.Halt();
    holdOwner(false);
}

TFrequencyFit::Options TOptFitDialog::options() const {
    TFrequencyFit::Options o;
    o.lowerCutoff = lower_->value();
    o.upperCutoff = upper_ ? upper_->value() : upperCutoff_;
    o.optimizeBoxQ = boxQ_->isChecked();
    o.optimizeFrontBoxQ = frontBoxQ_ && frontBoxQ_->isChecked();
    o.showIntermediate = intermediate_->isChecked();
    o.fineStep = fineStep_->isChecked();
    return o;
}

void TOptFitDialog::showOptions(const TFrequencyFit::Options& o) {
    lower_->setValue(o.lowerCutoff);
    if (upper_) upper_->setValue(o.upperCutoff);
    boxQ_->setChecked(o.optimizeBoxQ);
    if (frontBoxQ_) frontBoxQ_->setChecked(o.optimizeFrontBoxQ);
    intermediate_->setChecked(o.showIntermediate);
    fineStep_->setChecked(o.fineStep);
}

void TOptFitDialog::storeOptions() {
    TFrequencyFit::storeOptions(options(), project_.fitSettings());
}

void TOptFitDialog::runCommand() {
    if (fit_.running()) {
        halt();
        return;
    }
    const TFrequencyFit::Options o = options();
    if (upper_ && o.upperCutoff <= o.lowerCutoff) {
        ui_.error(kCaption, kCutoffOrderText);
        return;
    }
    if (!fit_.Start(o)) {
        ui_.error(kCaption, TBoxEmbryo::kTooFewParametersText);
        return;
    }
    setRunning(true);
    showMeanError();
}

void TOptFitDialog::iterate() {
    if (!fit_.running()) {
        setRunning(false);
        return;
    }
    fit_.Iterate();
    showMeanError();
    // The diagrams follow by themselves (every calculation repaints them); the input
    // window's fields only when asked for.
    if (fit_.options().showIntermediate && refresh_) refresh_();
}

void TOptFitDialog::halt() {
    if (!fit_.running()) return;
    fit_.Halt();
    setRunning(false);
    showMeanError();
    if (changed_) changed_();
}

void TOptFitDialog::showMeanError() {
    const double e = fit_.meanError();
    if (meanError_->value() != e) meanError_->setValue(e);
}

void TOptFitDialog::setRunning(bool on) {
    run_->setText(text(on ? kHaltText : kRunText));
    for (QWidget* w :
         std::initializer_list<QWidget*>{lower_, upper_, boxQ_, frontBoxQ_, intermediate_, fineStep_})
        if (w) w->setEnabled(!on);
    if (ownerContent_) ownerContent_->setEnabled(!on);
    if (on) {
        timer_->start();
    } else {
        timer_->stop();
    }
}

void TOptFitDialog::holdOwner(bool on) {
    if (holding_ == on) return;
    holding_ = on;
    // The menu's actions live in its bar; the bar goes before this window when the input
    // window is destroyed.
    if (menuBar_) menu_.setEnabled(!on);
    if (!on && ownerContent_) ownerContent_->setEnabled(true);
}

void TOptFitDialog::done(int result) {
    halt();
    holdOwner(false);
    TBaseDialog::done(result);
}

void TOptFitDialog::showEvent(QShowEvent* event) {
    holdOwner(true);
    TBaseDialog::showEvent(event);
}

// ---- the box types ----------------------------------------------------------------------

TOptClosedFitDialog::TOptClosedFitDialog(Owner owner, TClosedBox& project, UiHost& ui)
    : TOptFitDialog(std::move(owner), project, ui, kHighPassLayout) {}

TOptBassReflexFitDialog::TOptBassReflexFitDialog(Owner owner, TBassReflexBox& project, UiHost& ui)
    : TOptFitDialog(std::move(owner), project, ui, kHighPassLayout) {}

TOptBassReflexDTFitDialog::TOptBassReflexDTFitDialog(Owner owner, TBassReflexDTBox& project, UiHost& ui)
    : TOptFitDialog(std::move(owner), project, ui, kHighPassLayout) {}

TOptBassReflexDT2FitDialog::TOptBassReflexDT2FitDialog(Owner owner, TBassReflexDT2Box& project, UiHost& ui)
    : TOptFitDialog(std::move(owner), project, ui, kHighPassLayout) {}

TOptAbrFitDialog::TOptAbrFitDialog(Owner owner, TAbrBox& project, UiHost& ui)
    : TOptFitDialog(std::move(owner), project, ui, kHighPassLayout) {}

TOptBP5FitDialog::TOptBP5FitDialog(Owner owner, TBP5Box& project, UiHost& ui)
    : TOptFitDialog(std::move(owner), project, ui, kBandpassLayout) {}

TOptBP6FitDialog::TOptBP6FitDialog(Owner owner, TBP6Box& project, UiHost& ui)
    : TOptFitDialog(std::move(owner), project, ui, kBandpassLayout) {}

TOptBP7FitDialog::TOptBP7FitDialog(Owner owner, TBP7Box& project, UiHost& ui)
    : TOptFitDialog(std::move(owner), project, ui, kBandpassLayout) {}

TOptBP8FitDialog::TOptBP8FitDialog(Owner owner, TBP8Box& project, UiHost& ui)
    : TOptFitDialog(std::move(owner), project, ui, kBandpassLayout) {}

TOptBassReflexVelFitDialog::TOptBassReflexVelFitDialog(Owner owner, TBassReflexVelBox& project, UiHost& ui)
    : TOptFitDialog(std::move(owner), project, ui, kBandpassLayout) {}

namespace {

template <class Dialog, class Project>
TOptFitDialog* fitDialogFor(TOptFitDialog::Owner owner, TBoxEmbryo& project, UiHost& ui) {
    auto* typed = dynamic_cast<Project*>(&project);
    return typed ? new Dialog(std::move(owner), *typed, ui) : nullptr;
}

TOptFitDialog* createFitDialog(TOptFitDialog::Owner owner, TBoxEmbryo& project, UiHost& ui) {
    switch (project.typeCode()) {
    case TClosedBox::kTypeCode:
        return fitDialogFor<TOptClosedFitDialog, TClosedBox>(std::move(owner), project, ui);
    case TBassReflexBox::kTypeCode:
        return fitDialogFor<TOptBassReflexFitDialog, TBassReflexBox>(std::move(owner), project, ui);
    case TBassReflexDTBox::kTypeCode:
        return fitDialogFor<TOptBassReflexDTFitDialog, TBassReflexDTBox>(std::move(owner), project, ui);
    case TBassReflexDT2Box::kTypeCode:
        return fitDialogFor<TOptBassReflexDT2FitDialog, TBassReflexDT2Box>(std::move(owner), project, ui);
    case TAbrBox::kTypeCode:
        return fitDialogFor<TOptAbrFitDialog, TAbrBox>(std::move(owner), project, ui);
    case TBP5Box::kTypeCode:
        return fitDialogFor<TOptBP5FitDialog, TBP5Box>(std::move(owner), project, ui);
    case TBP6Box::kTypeCode:
        return fitDialogFor<TOptBP6FitDialog, TBP6Box>(std::move(owner), project, ui);
    case TBP7Box::kTypeCode:
        return fitDialogFor<TOptBP7FitDialog, TBP7Box>(std::move(owner), project, ui);
    case TBP8Box::kTypeCode:
        return fitDialogFor<TOptBP8FitDialog, TBP8Box>(std::move(owner), project, ui);
    case TBassReflexVelBox::kTypeCode:
        return fitDialogFor<TOptBassReflexVelFitDialog, TBassReflexVelBox>(std::move(owner), project, ui);
    default:
        return nullptr;
    }
}

} // namespace

TOptFitDialog* openFrequencyFit(TBaseDialog& owner, TBoxEmbryo& project, UiHost& ui, const OptimizeMenu& menu,
                                std::function<void()> refresh, std::function<void()> changed) {
    // A window that was closed may still wait for its deletion: it does not count.
    for (TOptFitDialog* open : owner.findChildren<TOptFitDialog*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!open->isVisible() || open->isClosing()) continue;
        open->raise();
        open->activateWindow();
        return open;
    }
    TOptFitDialog* dialog =
        createFitDialog({owner, menu, std::move(refresh), std::move(changed)}, project, ui);
    if (!dialog) return nullptr;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

} // namespace harlox
