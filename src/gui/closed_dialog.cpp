#include "gui/closed_dialog.h"

#include "box/box_object.h"
#include "box/closed_box.h"
#include "core/ui_host.h"
#include "gui/dbl_edit.h"
#include "gui/form_rows.h"
#include "gui/long_edit.h"
#include "gui/optimize_menu.h"
#include "gui/project_dialogs.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace harlox {

namespace {

const QString kWidest = QStringLiteral("00000.00");

} // namespace

BoxVolumeFields::BoxVolumeFields(QWidget* parent, const QString& title, TBoxEmbryo& project, TBoxObject& box,
                                 Variant variant, Ids ids)
    : QObject(parent), project_(project), box_(box), ids_(ids) {
    auto* group = new QGroupBox(title, parent);
    group_ = group;
    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(0, 1);
    // The unit column is as wide in every group, so the fields line up across groups.
    grid->setColumnMinimumWidth(2, group->fontMetrics().horizontalAdvance(QStringLiteral("cm²")) + 4);
    // Created in tab order.
    volume_ = new TDblEdit(group, ids.volume, "%2.1f", kMinVolume, kMaxVolume, -1.0, box.Vb * 1000.0);
    if (variant == Variant::LossesAndQ)
        ql_ = new TDblEdit(group, ids.ql, "%2.1f", kMinQ, kMaxQ, -1.0, box.Ql);
    qb_ = new TDblEdit(group, ids.qb, "%2.1f", kMinQ, kMaxQ, -1.0, box.Qb);
    fill_ = new TLongEdit(group, ids.fill, "%d", 0, 100, -1, box.fill, 1);
    addFormRow(grid, tr("Box volume"), volume_, QStringLiteral("l"), kWidest);
    if (ql_) addFormRow(grid, tr("QL"), ql_, QString(), kWidest);
    addFormRow(grid, ql_ ? tr("QB") : tr("Box Q-value"), qb_, QString(), kWidest);
    addFormRow(grid, tr("Fill"), fill_, QStringLiteral("%"), kWidest);
    for (TEntryEdit* f : std::initializer_list<TEntryEdit*>{volume_, ql_, qb_, fill_})
        if (f) connect(f, &TEntryEdit::changed, this, &BoxVolumeFields::fieldChanged);
}

void BoxVolumeFields::refresh() {
    // Only fields whose value differs are rewritten: the one just entered keeps its text.
    if (volume_->value() != box_.Vb * 1000.0) volume_->setValue(box_.Vb * 1000.0);
    if (ql_ && ql_->value() != box_.Ql) ql_->setValue(box_.Ql);
    if (qb_->value() != box_.Qb) qb_->setValue(box_.Qb);
    if (fill_->value() != box_.fill) fill_->setValue(box_.fill);
}

void BoxVolumeFields::fieldChanged(int fieldId) {
    if (fieldId == ids_.volume) {
        project_.setBoxVolume(box_, volume_->value() * 0.001);
    } else if (ql_ && fieldId == ids_.ql) {
        box_.Ql = ql_->value();
    } else if (fieldId == ids_.qb) {
        box_.Qb = qb_->value();
    } else if (fieldId == ids_.fill) {
        box_.fill = fill_->value();
    } else {
        return;
    }
    box_.boxChanged = 1;
    emit boxChanged();
}

TClosedDialog::TClosedDialog(QWidget* parent, TClosedBox& project, UiHost& ui,
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
    connect(box_, &BoxVolumeFields::boxChanged, this, &TClosedDialog::changed);
}

void TClosedDialog::refresh() {
    box_->refresh();
}

void TClosedDialog::changed() {
    refresh();
    notifyProjectChanged(this, project_, ui_, notify_);
}

void TClosedDialog::quickBox() {
    // Without a complete driver there is nothing to size the box from.
    if (!project_.QuickBox()) return;
    changed();
}

} // namespace harlox
