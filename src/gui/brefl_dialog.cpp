#include "gui/brefl_dialog.h"

#include "box/bass_reflex_box.h"
#include "box/port_object.h"
#include "core/ui_host.h"
#include "gui/closed_dialog.h"
#include "gui/dbl_edit.h"
#include "gui/form_rows.h"
#include "gui/long_edit.h"
#include "gui/project_dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <string>

namespace harlox {

namespace {

const QString kWidest = QStringLiteral("00000.00");

constexpr double kCm = 100.0;         // m -> cm
constexpr double kSquareCm = 10000.0; // m^2 -> cm^2

// The flare radius field: a straight port has no radius and shows "inf.".
class FlareRadiusEdit : public TDblEdit {
public:
    FlareRadiusEdit(QWidget* parent, int fieldId, double initial)
        : TDblEdit(parent, fieldId, "%2.2f", 0.0, 20000.0, -1.0, initial) {
        showValue(); // the base showed it before this class existed
    }

protected:
    [[nodiscard]] std::string displayText() const override {
        return value() == 0.0 ? std::string(TBreflDialog::kStraightPortText) : TDblEdit::displayText();
    }
};

void showReal(TDblEdit* f, double v) {
    if (f->value() != v) f->setValue(v);
}

} // namespace

TBreflDialog::TBreflDialog(QWidget* parent, TBassReflexBox& project, UiHost& ui,
                           std::function<void(int code)> notifyChanged)
    : TBaseDialog(parent, QString::fromUtf8(kHelpFile)), project_(project), port_(project.port()), ui_(ui),
      notify_(std::move(notifyChanged)) {
    setWindowTitle(QString::fromUtf8(kCaption));
    auto* column = new QVBoxLayout(content());
    column->setContentsMargins(0, 0, 0, 0);

    box_ = new BoxVolumeFields(content(), tr("Box"), project_, project_.box());
    column->addWidget(box_->group());

    auto* portBox = new QGroupBox(tr("Port"), content());
    auto* grid = new QGridLayout(portBox);
    grid->setColumnStretch(0, 1);
    grid->setColumnMinimumWidth(2, portBox->fontMetrics().horizontalAdvance(QStringLiteral("cm²")) + 4);
    length_ = new TDblEdit(portBox, LengthField, "%2.2f", 0.0, 1000.0, -1.0, port_.L * kCm);
    diameter_ = new TDblEdit(portBox, DiameterField, "%2.2f", 1.0, 100.0, -1.0, port_.D * kCm);
    flareRadius_ = new FlareRadiusEdit(portBox, FlareRadiusField, port_.flareRadius() * kCm);
    maxDiameter_ =
        new TDblEdit(portBox, MaxDiameterField, "%2.2f", 0.0, 1.0e9, -1.0, port_.maxDiameter() * kCm);
    maxDiameter_->setReadOnly(true);
    maxDiameter_->setFocusPolicy(Qt::NoFocus);
    area_ = new TDblEdit(portBox, AreaField, "%2.2f", kMinArea, kMaxArea, -1.0, port_.S * kSquareCm);
    tuning_ = new TDblEdit(portBox, TuningField, "%2.2f", 1.0, 1000.0, -1.0, port_.fp);
    vents_ = new TLongEdit(portBox, VentsField, "%d", 1, TPortObject::kMaxPorts, -1, port_.ports, 1);
    addFormRow(grid, tr("Length"), length_, QStringLiteral("cm"), kWidest);
    addFormRow(grid, tr("Min dia."), diameter_, QStringLiteral("cm"), kWidest);
    addFormRow(grid, tr("Flare radius"), flareRadius_, QStringLiteral("cm"), kWidest);
    addFormRow(grid, tr("Max dia."), maxDiameter_, QStringLiteral("cm"), kWidest);
    addFormRow(grid, tr("Min area"), area_, QStringLiteral("cm²"), kWidest);
    addFormRow(grid, tr("Res. freq."), tuning_, QStringLiteral("Hz"), kWidest);
    addFormRow(grid, tr("Number of vents"), vents_, QString(), kWidest);
    nonLinear_ = new QCheckBox(tr("&Sim. port nonlinearity"), portBox);
    grid->addWidget(nonLinear_, grid->rowCount(), 0, 1, 3);
    column->addWidget(portBox);

    connect(box_, &BoxVolumeFields::boxChanged, this, &TBreflDialog::changed);
    for (TEntryEdit* f :
         std::initializer_list<TEntryEdit*>{length_, diameter_, flareRadius_, area_, tuning_, vents_})
        connect(f, &TEntryEdit::changed, this, &TBreflDialog::portFieldChanged);
    connect(nonLinear_, &QCheckBox::clicked, this, &TBreflDialog::nonLinearClicked);
    refresh();
}

void TBreflDialog::refresh() {
    box_->refresh();
    showReal(length_, port_.L * kCm);
    showReal(diameter_, port_.D * kCm);
    showReal(flareRadius_, port_.flareRadius() * kCm);
    showReal(maxDiameter_, port_.maxDiameter() * kCm);
    showReal(area_, port_.S * kSquareCm);
    showReal(tuning_, port_.fp);
    if (vents_->value() != port_.ports) vents_->setValue(port_.ports);
    const QSignalBlocker block(nonLinear_);
    nonLinear_->setChecked(TPortObject::nonLinear());
}

void TBreflDialog::portFieldChanged(int fieldId) {
    switch (fieldId) {
    case LengthField:
        port_.setLength(length_->value() / kCm);
        break;
    case DiameterField:
        if (!port_.setDiameter(diameter_->value() / kCm)) return refuse(kAreaChangeRefusedMsg);
        break;
    case FlareRadiusField:
        if (!port_.setFlareRadius(flareRadius_->value() / kCm)) return refuse(kFlareRadiusRefusedMsg);
        break;
    case AreaField:
        if (!port_.setArea(area_->value() / kSquareCm)) return refuse(kAreaChangeRefusedMsg);
        break;
    case TuningField:
        if (!port_.setTuning(tuning_->value())) return refuse(kTuningChangeRefusedMsg);
        break;
    case VentsField:
        port_.setPorts(vents_->value());
        break;
    default:
        return;
    }
    changed();
}

void TBreflDialog::nonLinearClicked(bool on) {
    TPortObject::setNonLinear(on);
    port_.portChanged = 1;
    changed();
}

void TBreflDialog::refuse(const char* message) {
    // The field took the new value; the port kept the old one, so show that again.
    refresh();
    ui_.error(kCaption, message);
}

void TBreflDialog::changed() {
    refresh();
    notifyProjectChanged(this, project_, ui_, notify_);
}

} // namespace harlox
