#include "gui/brefl_dt_dialog.h"

#include "box/box_object.h"
#include "box/double_tuned_box.h"
#include "box/port_object.h"
#include "core/constants.h"
#include "core/ui_host.h"
#include "gui/closed_dialog.h"
#include "gui/dbl_edit.h"
#include "gui/form_rows.h"
#include "gui/long_edit.h"
#include "gui/port_fields.h"
#include "gui/project_dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>

namespace harlox {

namespace {

const QString kWidest = QStringLiteral("00000.00");

constexpr double kCm = 100.0;         // m -> cm
constexpr double kSquareCm = 10000.0; // m^2 -> cm^2

void showReal(TDblEdit* f, double v) {
    if (f->value() != v) f->setValue(v);
}

} // namespace

DtPortFields::DtPortFields(QWidget* parent, const QString& title, TPortObject& port, Ids ids)
    : QObject(parent), port_(port), ids_(ids) {
    auto* box = new QGroupBox(title, parent);
    group_ = box;
    QGridLayout* grid = formGrid(box, QStringLiteral("cm²"));
    length_ = new TDblEdit(box, ids.length, "%2.1f", 0.0, 1000.0, -1.0, port.L * kCm);
    diameter_ = new TDblEdit(box, ids.diameter, "%2.1f", 1.0, 100.0, -1.0, port.D * kCm);
    area_ = new TDblEdit(box, ids.area, "%2.1f", PortFields::kMinArea, PortFields::kMaxArea, -1.0,
                         port.S * kSquareCm);
    resonance_ = new TDblEdit(box, ids.resonance, "%2.1f", 0.0, 1.0e9, -1.0, port.fp);
    resonance_->setReadOnly(true);
    resonance_->setFocusPolicy(Qt::NoFocus);
    vents_ = new TLongEdit(box, ids.vents, "%d", 1, TPortObject::kMaxPorts, -1, port.ports, 1);
    addFormRow(grid, tr("Length"), length_, QStringLiteral("cm"), kWidest);
    addFormRow(grid, tr("Diameter"), diameter_, QStringLiteral("cm"), kWidest);
    addFormRow(grid, tr("Area"), area_, QStringLiteral("cm²"), kWidest);
    addFormRow(grid, tr("Res. freq."), resonance_, QStringLiteral("Hz"), kWidest);
    addFormRow(grid, tr("Number of vents"), vents_, QString(), kWidest);
    for (TEntryEdit* f : std::initializer_list<TEntryEdit*>{length_, diameter_, area_, vents_})
        connect(f, &TEntryEdit::changed, this, &DtPortFields::fieldChanged);
}

void DtPortFields::refresh() {
    showReal(length_, port_.L * kCm);
    showReal(diameter_, port_.D * kCm);
    showReal(area_, port_.S * kSquareCm);
    showReal(resonance_, port_.fp);
    if (vents_->value() != port_.ports) vents_->setValue(port_.ports);
}

void DtPortFields::fieldChanged(int fieldId) {
    // The length stays: here the dimensions move the resonances, not the other way round.
    if (fieldId == ids_.length) {
        port_.L = length_->value() / kCm;
    } else if (fieldId == ids_.diameter) {
        port_.D = diameter_->value() / kCm;
        port_.S = kPi * port_.D * port_.D / 4.0;
        port_.computeSeff();
    } else if (fieldId == ids_.area) {
        port_.S = area_->value() / kSquareCm;
        port_.computeSeff();
        port_.D = 2.0 * std::sqrt(port_.S / kPi);
    } else if (fieldId == ids_.vents) {
        port_.ports = vents_->value();
    } else {
        return;
    }
    port_.portChanged = 1;
    emit portChanged();
}

TBreflDTDialog::TBreflDTDialog(QWidget* parent, TBassReflexDTBox& project, UiHost& ui,
                               std::function<void(int code)> notifyChanged)
    : TBreflDTDialog(parent, project, ui, std::move(notifyChanged), kCaption, kHelpFile) {}

TBreflDTDialog::TBreflDTDialog(QWidget* parent, TDoubleTunedBox& project, UiHost& ui,
                               std::function<void(int code)> notifyChanged, const char* caption,
                               const char* helpFile)
    : TBaseDialog(parent, QString::fromUtf8(helpFile)), project_(project), ui_(ui),
      notify_(std::move(notifyChanged)) {
    setWindowTitle(QString::fromUtf8(caption));
    menu_ = OptimizeMenu::add(*this, {project_, ui_, [this] { refresh(); }, [this] { changed(); }}, nullptr,
                              OptimizeMenu::kFitTextB, [this] { quickBox(); });

    auto* outer = new QVBoxLayout(content());
    outer->setContentsMargins(0, 0, 0, 0);
    auto* columns = new QHBoxLayout;
    outer->addLayout(columns);
    auto* rear = new QVBoxLayout;
    auto* front = new QVBoxLayout;
    columns->addLayout(rear);
    columns->addLayout(front);

    // Created column by column, in tab order.
    using Variant = BoxVolumeFields::Variant;
    rearBox_ = new BoxVolumeFields(content(), tr("Rear box"), project_, project_.rearBox(), Variant::BoxQ,
                                   {RearVolumeField, -1, RearQField, RearFillField});
    rearPort_ = new DtPortFields(
        content(), tr("Rear port"), project_.rearPort(),
        {RearAreaField, RearDiameterField, RearResonanceField, RearLengthField, RearVentsField});
    frontBox_ = new BoxVolumeFields(content(), tr("Front box"), project_, project_.frontBox(), Variant::BoxQ,
                                    {FrontVolumeField, -1, FrontQField, FrontFillField});
    frontPort_ = new DtPortFields(
        content(), tr("Front port"), project_.frontPort(),
        {FrontAreaField, FrontDiameterField, FrontResonanceField, FrontLengthField, FrontVentsField});
    rear->addWidget(rearBox_->group());
    rear->addWidget(rearPort_->group());
    front->addWidget(frontBox_->group());
    front->addWidget(frontPort_->group());
    nonLinear_ = newPortNonLinearBox(content());
    outer->addWidget(nonLinear_);

    for (BoxVolumeFields* b : {rearBox_, frontBox_})
        connect(b, &BoxVolumeFields::boxChanged, this, &TBreflDTDialog::changed);
    for (DtPortFields* p : {rearPort_, frontPort_})
        connect(p, &DtPortFields::portChanged, this, &TBreflDTDialog::changed);
    connect(nonLinear_, &QCheckBox::clicked, this, [this](bool on) {
        TPortObject::setNonLinear(on);
        project_.rearPort().portChanged = 1;
        project_.frontPort().portChanged = 1;
        changed();
    });
    project_.UpdateResonances();
    refresh();
}

void TBreflDTDialog::refresh() {
    rearBox_->refresh();
    frontBox_->refresh();
    rearPort_->refresh();
    frontPort_->refresh();
    const QSignalBlocker block(nonLinear_);
    nonLinear_->setChecked(TPortObject::nonLinear());
}

void TBreflDTDialog::changed() {
    project_.UpdateResonances();
    refresh();
    notifyProjectChanged(this, project_, ui_, notify_);
}

void TBreflDTDialog::quickBox() {
    // Without a complete driver there is nothing to size the box from.
    if (!project_.QuickBox()) return;
    changed();
}

TBreflDT2Dialog::TBreflDT2Dialog(QWidget* parent, TBassReflexDT2Box& project, UiHost& ui,
                                 std::function<void(int code)> notifyChanged)
    : TBreflDTDialog(parent, project, ui, std::move(notifyChanged), kCaption, kHelpFile) {}

} // namespace harlox
