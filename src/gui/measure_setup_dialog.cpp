#include "gui/measure_setup_dialog.h"

#include "core/measure_setup.h"
#include "core/ui_host.h"
#include "gui/dbl_edit.h"
#include "gui/form_rows.h"
#include "gui/long_edit.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>
#include <string_view>

namespace harlox {

namespace {

// Wide enough for "1.25e-07" and "-10000.0" with room to spare.
const QString kWidest = QStringLiteral("-00000.000");

std::optional<QPoint>& lastPosition() {
    static std::optional<QPoint> pos;
    return pos;
}

// Rewrites a field only when its value or format really changes, so the field the user is
// about to type into keeps its selection.
void showReal(TDblEdit* f, double v, const char* format) {
    if (f->entry().format() != std::string_view(format)) f->setFormat(format);
    if (f->value() != v) f->setValue(v);
}

void showWhole(TLongEdit* f, std::int32_t v) {
    if (f->value() != v) f->setValue(v);
}

} // namespace

const char* TMeasureSetupDialog::valueFormat(double v) {
    const double a = std::fabs(v);
    if (a < 0.1) return "%3.2e";
    if (a < 10.0) return "%3.2f";
    return "%2.1f";
}

std::optional<QPoint> TMeasureSetupDialog::rememberedPosition() {
    return lastPosition();
}

TMeasureSetupDialog::TMeasureSetupDialog(QWidget* parent, MeasureSetup& setup, UiHost& ui, NotifyHook notify)
    : TBaseDialog(parent, QString::fromUtf8(kHelpFile)), setup_(setup), ui_(ui), notify_(std::move(notify)) {
    setWindowTitle(QString::fromUtf8(kCaption));

    auto* menuBar = new QMenuBar(content());
    QMenu* prefs = menuBar->addMenu(tr("&Preferences"));
    saveAction_ = prefs->addAction(tr("&Save"));
    defaultAction_ = prefs->addAction(tr("Set to &default"));
    connect(saveAction_, &QAction::triggered, this, &TMeasureSetupDialog::savePreferences);
    connect(defaultAction_, &QAction::triggered, this, &TMeasureSetupDialog::setToDefault);

    QWidget* page = content();
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    // Inside the page, so that the dialog's full size counts it.
    column->setMenuBar(menuBar);

    auto* freq = new QGroupBox(tr("Frequency settings"), page);
    QGridLayout* fg = formGrid(freq, QStringLiteral("Ohm"));
    start_ = new TLongEdit(freq, StartField, "%d", 1, setup_.stopFrequency - kMinSpan, -1,
                           setup_.startFrequency, 1);
    stop_ = new TLongEdit(freq, StopField, "%d", setup_.startFrequency + kMinSpan, kMaxFrequency, -1,
                          setup_.stopFrequency, 1);
    points_ = new TLongEdit(freq, PointsField, "%d", 10, kMaxPoints, -1, setup_.pointCount, 10);
    addFormRow(fg, QStringLiteral("Start frequency"), start_, QStringLiteral("Hz"), kWidest);
    addFormRow(fg, QStringLiteral("Stop frequency"), stop_, QStringLiteral("Hz"), kWidest);
    addFormRow(fg, QStringLiteral("Number of points"), points_, QString(), kWidest);
    column->addWidget(freq);

    auto* source = new QGroupBox(tr("Source characteristics"), page);
    QGridLayout* sg = formGrid(source, QStringLiteral("Ohm"));
    ug_ = new TDblEdit(source, SourceLevelField, valueFormat(setup_.Ug), 0.001, 1000.0, -1.0, setup_.Ug);
    pg_ = new TDblEdit(source, PowerField, valueFormat(setup_.Pg), 1.25e-7, 125000.0, -1.0, setup_.Pg);
    // No value means "undefined" here: a negative resistance is a legal entry.
    rg_ =
        new TDblEdit(source, ResistanceField, valueFormat(setup_.Rg), -10000.0, 10000.0, HUGE_VAL, setup_.Rg);
    addFormRow(sg, QStringLiteral("Source level"), ug_, QStringLiteral("V"), kWidest);
    addFormRow(sg, QStringLiteral("Watts into 8 ohm"), pg_, QStringLiteral("W"), kWidest);
    addFormRow(sg, QStringLiteral("Source resistance"), rg_, QStringLiteral("Ohm"), kWidest);
    column->addWidget(source);

    auto* plots = new QGroupBox(tr("SPL plots"), page);
    QGridLayout* pg = formGrid(plots, QStringLiteral("Ohm"));
    autorange_ = new QCheckBox(tr("Autorange"), plots);
    pg->addWidget(autorange_, 0, 0, 1, 3);
    range_ = new TLongEdit(plots, RangeField, "%d", 1, 80, -1, setup_.rangeDb, 1);
    addFormRow(pg, QStringLiteral("Range"), range_, QStringLiteral("dB"), kWidest);
    hidePhase_ = new QCheckBox(tr("Hide phase"), plots);
    pg->addWidget(hidePhase_, pg->rowCount(), 0, 1, 3);
    column->addWidget(plots);

    calcNow_ = new QCheckBox(tr("Calculate immediately"), page);
    column->addWidget(calcNow_);

    for (TEntryEdit* f : std::initializer_list<TEntryEdit*>{start_, stop_, points_, ug_, pg_, rg_, range_})
        connect(f, &TEntryEdit::changed, this, &TMeasureSetupDialog::fieldChanged);
    connect(autorange_, &QCheckBox::clicked, this, &TMeasureSetupDialog::autorangeClicked);
    connect(hidePhase_, &QCheckBox::clicked, this, &TMeasureSetupDialog::hidePhaseClicked);
    connect(calcNow_, &QCheckBox::clicked, this, &TMeasureSetupDialog::calculateImmediatelyClicked);

    if (const auto& pos = lastPosition()) move(*pos);
    connect(this, &QDialog::finished, this, [this] { lastPosition() = pos(); });

    refresh();
}

void TMeasureSetupDialog::refresh() {
    showWhole(start_, setup_.startFrequency);
    showWhole(stop_, setup_.stopFrequency);
    start_->setMaximum(setup_.stopFrequency - kMinSpan);
    stop_->setMinimum(setup_.startFrequency + kMinSpan);
    showWhole(points_, setup_.pointCount);
    showReal(ug_, setup_.Ug, valueFormat(setup_.Ug));
    showReal(pg_, setup_.Pg, valueFormat(setup_.Pg));
    showReal(rg_, setup_.Rg, valueFormat(setup_.Rg));
    showWhole(range_, setup_.rangeDb);
    range_->setEnabled(setup_.autorange == 0);

    const QSignalBlocker b1(autorange_);
    const QSignalBlocker b2(hidePhase_);
    const QSignalBlocker b3(calcNow_);
    autorange_->setChecked(setup_.autorange != 0);
    hidePhase_->setChecked(setup_.hidePhase != 0);
    calcNow_->setChecked(setup_.calculateImmediately != 0);
}

void TMeasureSetupDialog::fieldChanged(int fieldId) {
    switch (fieldId) {
    case StartField:
        setup_.startFrequency = start_->value();
        break;
    case StopField:
        setup_.stopFrequency = stop_->value();
        break;
    case PointsField:
        setup_.pointCount = points_->value();
        break;
    case SourceLevelField:
        setup_.setUg(ug_->value());
        break;
    case PowerField:
        setup_.setPg(pg_->value());
        break;
    case ResistanceField:
        setup_.Rg = rg_->value();
        break;
    case RangeField:
        setup_.rangeDb = range_->value();
        break;
    default:
        return;
    }
    setupChanged(0);
}

void TMeasureSetupDialog::autorangeClicked(bool on) {
    setup_.autorange = on ? 1 : 0;
    setup_.rangeDb = on ? 0 : 30;
    setupChanged(0);
}

void TMeasureSetupDialog::hidePhaseClicked(bool on) {
    setup_.hidePhase = on ? 1 : 0;
    setupChanged(0);
}

void TMeasureSetupDialog::calculateImmediatelyClicked(bool on) {
    setup_.calculateImmediately = on ? 1 : 0;
    setupChanged(on ? 0 : 1);
}

void TMeasureSetupDialog::setupChanged(int flag) {
    setup_.setupChanged = 1;
    refresh();
    if (notify_) notify_(flag);
}

void TMeasureSetupDialog::savePreferences() {
    if (!setup_.savePreferences())
        ui_.messageBox(kSaveFailedCaption, kSaveFailedText, MessageIcon::Exclamation, MessageButtons::Ok);
}

void TMeasureSetupDialog::setToDefault() {
    setup_.SetDefaults(true);
    setupChanged(0);
}

} // namespace harlox
