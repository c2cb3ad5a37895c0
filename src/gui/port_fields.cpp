#include "gui/port_fields.h"

#include "box/port_object.h"
#include "core/ui_host.h"
#include "gui/dbl_edit.h"
#include "gui/form_rows.h"
#include "gui/long_edit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QSignalBlocker>

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
        return value() == 0.0 ? std::string(PortFields::kStraightPortText) : TDblEdit::displayText();
    }
};

void showReal(TDblEdit* f, double v) {
    if (f->value() != v) f->setValue(v);
}

} // namespace

QCheckBox* newPortNonLinearBox(QWidget* parent) {
    return new QCheckBox(QObject::tr("&Sim. port nonlinearity"), parent);
}

PortFields::PortFields(QWidget* parent, const QString& title, TPortObject& port, UiHost& ui,
                       const char* caption, Ids ids, bool withNonLinear)
    : QObject(parent), port_(port), ui_(ui), caption_(caption), ids_(ids) {
    auto* box = new QGroupBox(title, parent);
    group_ = box;
    QGridLayout* grid = formGrid(box, QStringLiteral("cm²"));
    grid_ = grid;
    length_ = new TDblEdit(box, ids.length, "%2.2f", 0.0, 1000.0, -1.0, port.L * kCm);
    diameter_ = new TDblEdit(box, ids.diameter, "%2.2f", 1.0, 100.0, -1.0, port.D * kCm);
    flareRadius_ = new FlareRadiusEdit(box, ids.flareRadius, port.flareRadius() * kCm);
    maxDiameter_ = new TDblEdit(box, ids.maxDiameter, "%2.2f", 0.0, 1.0e9, -1.0, port.maxDiameter() * kCm);
    maxDiameter_->setReadOnly(true);
    maxDiameter_->setFocusPolicy(Qt::NoFocus);
    area_ = new TDblEdit(box, ids.area, "%2.2f", kMinArea, kMaxArea, -1.0, port.S * kSquareCm);
    tuning_ = new TDblEdit(box, ids.tuning, "%2.2f", 1.0, 1000.0, -1.0, port.fp);
    vents_ = new TLongEdit(box, ids.vents, "%d", 1, TPortObject::kMaxPorts, -1, port.ports, 1);
    addFormRow(grid, tr("Length"), length_, QStringLiteral("cm"), kWidest);
    addFormRow(grid, tr("Min dia."), diameter_, QStringLiteral("cm"), kWidest);
    addFormRow(grid, tr("Flare radius"), flareRadius_, QStringLiteral("cm"), kWidest);
    addFormRow(grid, tr("Max dia."), maxDiameter_, QStringLiteral("cm"), kWidest);
    addFormRow(grid, tr("Min area"), area_, QStringLiteral("cm²"), kWidest);
    addFormRow(grid, tr("Res. freq."), tuning_, QStringLiteral("Hz"), kWidest);
    addFormRow(grid, tr("Number of vents"), vents_, QString(), kWidest);
    if (withNonLinear) {
        nonLinear_ = newPortNonLinearBox(box);
        grid->addWidget(nonLinear_, grid->rowCount(), 0, 1, 3);
        connect(nonLinear_, &QCheckBox::clicked, this, [this](bool on) {
            TPortObject::setNonLinear(on);
            port_.portChanged = 1;
            emit portChanged();
        });
    }
    for (TEntryEdit* f :
         std::initializer_list<TEntryEdit*>{length_, diameter_, flareRadius_, area_, tuning_, vents_})
        connect(f, &TEntryEdit::changed, this, &PortFields::fieldChanged);
}

void PortFields::refresh() {
    showReal(length_, port_.L * kCm);
    showReal(diameter_, port_.D * kCm);
    showReal(flareRadius_, port_.flareRadius() * kCm);
    showReal(maxDiameter_, port_.maxDiameter() * kCm);
    showReal(area_, port_.S * kSquareCm);
    showReal(tuning_, port_.fp);
    if (vents_->value() != port_.ports) vents_->setValue(port_.ports);
    if (nonLinear_) {
        const QSignalBlocker block(nonLinear_);
        nonLinear_->setChecked(TPortObject::nonLinear());
    }
}

void PortFields::addRow(const QString& label, QWidget* field, const QString& unit) {
    addFormRow(grid_, label, field, unit, kWidest);
}

void PortFields::fieldChanged(int fieldId) {
    if (fieldId == ids_.length) {
        port_.setLength(length_->value() / kCm);
    } else if (fieldId == ids_.diameter) {
        if (!port_.setDiameter(diameter_->value() / kCm)) return refuse(kAreaChangeRefusedMsg);
    } else if (fieldId == ids_.flareRadius) {
        if (!port_.setFlareRadius(flareRadius_->value() / kCm)) return refuse(kFlareRadiusRefusedMsg);
    } else if (fieldId == ids_.area) {
        if (!port_.setArea(area_->value() / kSquareCm)) return refuse(kAreaChangeRefusedMsg);
    } else if (fieldId == ids_.tuning) {
        if (!port_.setTuning(tuning_->value())) return refuse(kTuningChangeRefusedMsg);
    } else if (fieldId == ids_.vents) {
        port_.setPorts(vents_->value());
    } else {
        return;
    }
    emit portChanged();
}

void PortFields::refuse(const char* message) {
    // The field took the new value; the port kept the old one, so show that again.
    refresh();
    ui_.error(caption_, message);
}

} // namespace harlox
