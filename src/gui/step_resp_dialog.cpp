#include "gui/step_resp_dialog.h"

#include "box/box_embryo.h"
#include "core/ui_host.h"
#include "gui/dbl_edit.h"
#include "gui/diagram_renderer.h"
#include "gui/form_rows.h"
#include "gui/long_edit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <utility>

namespace harlox {

namespace {

const QString kWidest = QStringLiteral("00000.0");
constexpr double kNoFrequency = -1.0;
constexpr std::int32_t kNoPeriods = std::numeric_limits<std::int32_t>::min();

void showWhole(TLongEdit* f, std::int32_t v) {
    if (f->value() != v || f->text().isEmpty()) f->setValue(v);
}

void showFlag(QCheckBox* box, std::uint8_t flag) {
    const QSignalBlocker block(box);
    box->setChecked(flag != 0);
}

} // namespace

void addTransientDrawing(const TStepResponse& transient, RenderOptions& options) {
    const double low = transient.lowerLimit();
    // Before the first calculation there is nothing to scale to.
    if (transient.window().pointCount() <= 0 || !std::isfinite(low) || !(low < 1.0)) return;
    options.yRange = AxisRange{low, 1.0, true};
}

TStepRespDialog::TStepRespDialog(QWidget* parent, TBoxEmbryo& project, UiHost& ui)
    : TBaseDialog(parent, QString::fromUtf8(kHelpFile)), project_(project),
      transient_(project.transientResponse()), ui_(ui),
      opened_(static_cast<const StepResponseSettings&>(project.transientResponse())) {
    setWindowTitle(QString::fromUtf8(kCaption));

    QWidget* page = content();
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(0, 0, 0, 0);

    // Created in tab order: signal, burst, calculation.
    auto* input = new QGroupBox(QStringLiteral("Input signal"), page);
    auto* inputColumn = new QVBoxLayout(input);
    signalButtons_ = new QButtonGroup(this);
    const struct {
        std::int16_t id;
        const char* text;
    } choices[] = {{TStepResponse::kImpulse, "&Impulse"},
                   {TStepResponse::kStep, "&Step"},
                   {TStepResponse::kToneBurst, "&Tone burst"}};
    for (const auto& c : choices) {
        auto* b = new QRadioButton(QString::fromUtf8(c.text), input);
        signalButtons_->addButton(b, c.id);
        inputColumn->addWidget(b);
    }
    inputColumn->addStretch(1);
    grid->addWidget(input, 0, 0);

    burstGroup_ = new QGroupBox(QStringLiteral("Tone burst"), page);
    QGridLayout* bg = formGrid(burstGroup_, QStringLiteral("Hz"));
    frequency_ = new TDblEdit(burstGroup_, FrequencyControl, "%2.1f", TStepResponse::kMinBurstFrequency,
                              TStepResponse::kMaxBurstFrequency, kNoFrequency, transient_.burstFrequency);
    periods_ = new TLongEdit(burstGroup_, PeriodsControl, "%d", TStepResponse::kMinBurstPeriods,
                             TStepResponse::kMaxBurstPeriods, kNoPeriods, transient_.burstPeriods, 1);
    addFormRow(bg, QStringLiteral("Frequency"), frequency_, QStringLiteral("Hz"), kWidest);
    addFormRow(bg, QStringLiteral("# periods"), periods_, QString(), kWidest);
    showInput_ = new QCheckBox(QStringLiteral("&Show input signal"), burstGroup_);
    bg->addWidget(showInput_, bg->rowCount(), 0, 1, 3);
    grid->addWidget(burstGroup_, 0, 1);

    auto* calculation = new QGroupBox(QStringLiteral("Calculation"), page);
    auto* cg = new QGridLayout(calculation);
    resolution_ = new QComboBox(calculation);
    for (const char* label : TStepResponse::kResolutionLabels)
        resolution_->addItem(QString::fromUtf8(label));
    auto* resolutionLabel = new QLabel(QStringLiteral("Resolution"), calculation);
    resolutionLabel->setBuddy(resolution_);
    zoom_ = new QCheckBox(QStringLiteral("&Zoom 200%"), calculation);
    enable_ = new QCheckBox(QStringLiteral("&Enable calculation"), calculation);
    cg->addWidget(resolutionLabel, 0, 0);
    cg->addWidget(resolution_, 0, 1);
    cg->setColumnStretch(2, 1);
    cg->addWidget(zoom_, 1, 0, 1, 3);
    cg->addWidget(enable_, 2, 0, 1, 3);
    grid->addWidget(calculation, 1, 0, 1, 2);

    connect(signalButtons_, &QButtonGroup::idClicked, this, &TStepRespDialog::signalClicked);
    for (TEntryEdit* f : std::initializer_list<TEntryEdit*>{frequency_, periods_})
        connect(f, &TEntryEdit::changed, this, &TStepRespDialog::fieldChanged);
    connect(resolution_, &QComboBox::activated, this, &TStepRespDialog::resolutionChosen);
    for (const auto& [box, id] : {std::pair{zoom_, int(ZoomControl)}, std::pair{enable_, int(EnableControl)},
                                  std::pair{showInput_, int(ShowInputControl)}}) {
        const int control = id;
        connect(box, &QCheckBox::clicked, this, [this, control](bool on) { flagClicked(control, on); });
    }
    connect(this, &QDialog::finished, this, &TStepRespDialog::saveIfChanged);

    refresh();
}

QRadioButton* TStepRespDialog::signalButton(int inputSignal) const {
    return qobject_cast<QRadioButton*>(signalButtons_->button(inputSignal));
}

bool TStepRespDialog::settingsChanged() const {
    return !(static_cast<const StepResponseSettings&>(transient_) == opened_);
}

void TStepRespDialog::refresh() {
    const bool burst = transient_.isToneBurst();
    {
        const QSignalBlocker block(signalButtons_);
        if (QAbstractButton* b =
                signalButtons_->button(burst ? TStepResponse::kToneBurst : transient_.inputSignal))
            b->setChecked(true);
    }
    showFieldValue(frequency_, transient_.burstFrequency);
    showWhole(periods_, transient_.burstPeriods);
    {
        const QSignalBlocker block(resolution_);
        resolution_->setCurrentIndex(transient_.resolutionIndex());
    }
    showFlag(zoom_, transient_.zoom);
    showFlag(enable_, transient_.calculationEnabled);
    showFlag(showInput_, transient_.showInputSignal);
    // The burst's own settings mean nothing to the impulse and the step.
    frequency_->setEnabled(burst);
    periods_->setEnabled(burst);
    showInput_->setEnabled(burst);
}

void TStepRespDialog::signalClicked(int inputSignal) {
    if (inputSignal == transient_.inputSignal) return;
    transient_.inputSignal = static_cast<std::int16_t>(inputSignal);
    apply();
}

void TStepRespDialog::fieldChanged(int id) {
    if (id == FrequencyControl) {
        transient_.burstFrequency = frequency_->value();
    } else if (id == PeriodsControl) {
        transient_.burstPeriods = static_cast<std::int16_t>(periods_->value());
    } else {
        return;
    }
    apply();
}

void TStepRespDialog::resolutionChosen(int index) {
    if (index == transient_.resolutionIndex() || !transient_.setResolutionIndex(index)) return;
    apply();
}

void TStepRespDialog::flagClicked(int id, bool on) {
    const std::uint8_t flag = on ? 1 : 0;
    switch (id) {
    case ZoomControl:
        transient_.zoom = flag;
        break;
    case EnableControl:
        transient_.calculationEnabled = flag;
        break;
    case ShowInputControl:
        transient_.showInputSignal = flag;
        break;
    default:
        return;
    }
    apply();
}

void TStepRespDialog::apply() {
    // Rebuilt from the box's last response: a calculation switched back on must not show
    // the response from before it was switched off.
    transient_.Calculate(true);
    project_.markChanged();
    refresh();
    ui_.repaint();
}

void TStepRespDialog::saveIfChanged() {
    if (saved_ || !settingsChanged()) return;
    saved_ = true;
    (void)transient_.SaveSettings(ui_);
}

void TStepRespDialog::closeNow() {
    saveIfChanged();
    if (isVisible()) done(resultCode());
}

QWidget* openStepRespDialog(QWidget* parent, TBoxEmbryo& project, UiHost& ui) {
    auto* dialog = new TStepRespDialog(parent, project, ui);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

} // namespace harlox
