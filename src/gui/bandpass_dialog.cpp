#include "gui/bandpass_dialog.h"

#include "box/bandpass_box.h"
#include "box/bass_reflex_vel_box.h"
#include "box/box_embryo.h"
#include "box/port_object.h"
#include "core/ui_host.h"
#include "gui/closed_dialog.h"
#include "gui/dbl_edit.h"
#include "gui/port_fields.h"
#include "gui/project_dialogs.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace harlox {

namespace {

PortFields::Ids portIds(int first) {
    return {first, first + 1, first + 2, first + 3, first + 4, first + 5, first + 6};
}

} // namespace

TTwoChamberDialog::TTwoChamberDialog(QWidget* parent, TBoxEmbryo& project, UiHost& ui,
                                     std::function<void(int code)> notifyChanged, const Shape& shape)
    : TBaseDialog(parent, QString::fromUtf8(shape.helpFile)), project_(project), ui_(ui),
      notify_(std::move(notifyChanged)) {
    setWindowTitle(QString::fromUtf8(shape.caption));
    menu_ = OptimizeMenu::add(*this, {project_, ui_, [this] { refresh(); }, [this] { changed(); }},
                              shape.tableText, shape.fitText, [this] { quickBox(); });

    auto* outer = new QVBoxLayout(content());
    outer->setContentsMargins(0, 0, 0, 0);
    auto* columns = new QHBoxLayout;
    outer->addLayout(columns);
    left_ = new QVBoxLayout;
    right_ = new QVBoxLayout;
    columns->addLayout(left_);
    columns->addLayout(right_);

    // Created column by column, in tab order.
    using Variant = BoxVolumeFields::Variant;
    const bool onePort = shape.port2Title == nullptr;
    box1_ =
        new BoxVolumeFields(content(), QString::fromUtf8(shape.box1Title), project_, *project_.boxElement(),
                            Variant::BoxQ, {Box1VolumeField, -1, Box1QField, Box1FillField});
    left_->addWidget(box1_->group());
    const auto makePort1 = [&] {
        port1_ = new PortFields(content(), QString::fromUtf8(shape.port1Title), *project_.portElement(), ui_,
                                shape.caption, portIds(kPort1FirstId), onePort);
    };
    if (!onePort) {
        makePort1();
        left_->addWidget(port1_->group());
    }
    box2_ =
        new BoxVolumeFields(content(), QString::fromUtf8(shape.box2Title), project_, *project_.box2Element(),
                            Variant::BoxQ, {Box2VolumeField, -1, Box2QField, Box2FillField});
    right_->addWidget(box2_->group());
    if (onePort) {
        makePort1();
        right_->addWidget(port1_->group());
        nonLinear_ = port1_->nonLinearBox();
    } else {
        port2_ = new PortFields(content(), QString::fromUtf8(shape.port2Title), *project_.port2Element(), ui_,
                                shape.caption, portIds(kPort2FirstId), false);
        right_->addWidget(port2_->group());
        nonLinear_ = newPortNonLinearBox(content());
        outer->addWidget(nonLinear_);
        connect(nonLinear_, &QCheckBox::clicked, this, [this](bool on) {
            TPortObject::setNonLinear(on);
            port1_->port().portChanged = 1;
            port2_->port().portChanged = 1;
            changed();
        });
    }
    left_->addStretch(1);
    right_->addStretch(1);

    for (BoxVolumeFields* b : {box1_, box2_})
        connect(b, &BoxVolumeFields::boxChanged, this, &TTwoChamberDialog::changed);
    for (PortFields* p : {port1_, port2_})
        if (p) connect(p, &PortFields::portChanged, this, &TTwoChamberDialog::changed);
    refresh();
}

void TTwoChamberDialog::refresh() {
    box1_->refresh();
    box2_->refresh();
    port1_->refresh();
    if (port2_) {
        port2_->refresh();
        const QSignalBlocker block(nonLinear_);
        nonLinear_->setChecked(TPortObject::nonLinear());
    }
}

void TTwoChamberDialog::changed() {
    refresh();
    notifyProjectChanged(this, project_, ui_, notify_);
}

void TTwoChamberDialog::quickBox() {
    // Without a complete driver there is nothing to size the box from.
    if (!project_.QuickBox()) return;
    changed();
}

TBP5Dialog::TBP5Dialog(QWidget* parent, TBP5Box& project, UiHost& ui,
                       std::function<void(int code)> notifyChanged)
    : TTwoChamberDialog(parent, project, ui, std::move(notifyChanged),
                        {kCaption, kHelpFile, "Rear box", "Front box", "Port", nullptr,
                         OptimizeMenu::kTableText, OptimizeMenu::kFitText}) {}

TBP6Dialog::TBP6Dialog(QWidget* parent, TBP6Box& project, UiHost& ui,
                       std::function<void(int code)> notifyChanged)
    : TTwoChamberDialog(parent, project, ui, std::move(notifyChanged),
                        {kCaption, kHelpFile, "Rear box", "Front box", "Rear port", "Front port", nullptr,
                         OptimizeMenu::kFitTextB}) {}

TBP7Dialog::TBP7Dialog(QWidget* parent, TBP7Box& project, UiHost& ui,
                       std::function<void(int code)> notifyChanged)
    : TTwoChamberDialog(parent, project, ui, std::move(notifyChanged),
                        {kCaption, kHelpFile, "Rear box", "Front box", "Rear port", "Front port", nullptr,
                         OptimizeMenu::kFitTextB}) {}

TBP8Dialog::TBP8Dialog(QWidget* parent, TBP8Box& project, UiHost& ui,
                       std::function<void(int code)> notifyChanged)
    : TTwoChamberDialog(parent, project, ui, std::move(notifyChanged),
                        {kCaption, kHelpFile, "Side boxes", "Middle box", "Side ports", "Middle port",
                         nullptr, OptimizeMenu::kFitTextB}) {}

TBreflVelDialog::TBreflVelDialog(QWidget* parent, TBassReflexVelBox& project, UiHost& ui,
                                 std::function<void(int code)> notifyChanged)
    : TTwoChamberDialog(parent, project, ui, std::move(notifyChanged),
                        {kCaption, kHelpFile, "Front box", "Rear box", "Port", "Rear port/variovent", nullptr,
                         OptimizeMenu::kFitText}),
      project_(project) {
    PortFields& vent = *port2Fields();
    ventResistance_ = new TDblEdit(vent.group(), VentResistanceField, "%2.0f", 0.0,
                                   TBassReflexVelBox::kMaxVentResistance, -1.0, project.ventResistance);
    vent.addRow(tr("Vent resistance"), ventResistance_, QStringLiteral("Pa·s/m³"));
    connect(ventResistance_, &TEntryEdit::changed, this, [this] {
        if (project_.setVentResistance(ventResistance_->value())) {
            changed();
        } else {
            refresh();
        }
    });
}

void TBreflVelDialog::refresh() {
    TTwoChamberDialog::refresh();
    // The base shows its fields before this window's own exist.
    if (ventResistance_ && ventResistance_->value() != project_.ventResistance)
        ventResistance_->setValue(project_.ventResistance);
}

} // namespace harlox
