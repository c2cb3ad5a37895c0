#include "gui/brefl_dialog.h"

#include "box/bass_reflex_box.h"
#include "core/ui_host.h"
#include "gui/closed_dialog.h"
#include "gui/port_fields.h"
#include "gui/optimize_menu.h"
#include "gui/project_dialogs.h"

#include <QVBoxLayout>

namespace harlox {

TBreflDialog::TBreflDialog(QWidget* parent, TBassReflexBox& project, UiHost& ui,
                           std::function<void(int code)> notifyChanged)
    : TBaseDialog(parent, QString::fromUtf8(kHelpFile)), project_(project), ui_(ui),
      notify_(std::move(notifyChanged)) {
    setWindowTitle(QString::fromUtf8(kCaption));
    menu_ = OptimizeMenu::add(*this, {project_, ui_, [this] { refresh(); }, [this] { changed(); }},
                              OptimizeMenu::kTableText, OptimizeMenu::kFitText, [this] { quickBox(); });
    auto* column = new QVBoxLayout(content());
    column->setContentsMargins(0, 0, 0, 0);

    box_ = new BoxVolumeFields(content(), tr("Box"), project_, project_.box());
    column->addWidget(box_->group());
    port_ = new PortFields(
        content(), tr("Port"), project_.port(), ui_, kCaption,
        {LengthField, DiameterField, FlareRadiusField, MaxDiameterField, AreaField, TuningField, VentsField},
        true);
    column->addWidget(port_->group());

    connect(box_, &BoxVolumeFields::boxChanged, this, &TBreflDialog::changed);
    connect(port_, &PortFields::portChanged, this, &TBreflDialog::changed);
    refresh();
}

TDblEdit* TBreflDialog::lengthField() const {
    return port_->lengthField();
}
TDblEdit* TBreflDialog::diameterField() const {
    return port_->diameterField();
}
TDblEdit* TBreflDialog::flareRadiusField() const {
    return port_->flareRadiusField();
}
TDblEdit* TBreflDialog::maxDiameterField() const {
    return port_->maxDiameterField();
}
TDblEdit* TBreflDialog::areaField() const {
    return port_->areaField();
}
TDblEdit* TBreflDialog::tuningField() const {
    return port_->tuningField();
}
TLongEdit* TBreflDialog::ventsField() const {
    return port_->ventsField();
}
QCheckBox* TBreflDialog::nonLinearBox() const {
    return port_->nonLinearBox();
}

void TBreflDialog::refresh() {
    box_->refresh();
    port_->refresh();
}

void TBreflDialog::changed() {
    refresh();
    notifyProjectChanged(this, project_, ui_, notify_);
}

void TBreflDialog::quickBox() {
    // Without a complete driver there is nothing to size the box from.
    if (!project_.QuickBox()) return;
    changed();
}

} // namespace harlox
