#include "gui/abr_dialog.h"

#include "box/abr_box.h"
#include "box/abr_object.h"
#include "core/ui_host.h"
#include "gui/closed_dialog.h"
#include "gui/dbl_edit.h"
#include "gui/form_rows.h"
#include "gui/long_edit.h"
#include "gui/project_dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace harlox {

namespace {

const QString kWidest = QStringLiteral("000000.00");

constexpr double kLitre = 1000.0;     // m^3 -> l
constexpr double kSquareCm = 10000.0; // m^2 -> cm^2
constexpr double kGram = 1000.0;      // kg -> g
constexpr double kMm = 1000.0;        // m -> mm

void showReal(TDblEdit* f, double v) {
    if (f->value() != v) f->setValue(v);
}

} // namespace

TAbrDialog::TAbrDialog(QWidget* parent, TAbrBox& project, UiHost& ui,
                       std::function<void(int code)> notifyChanged)
    : TBaseDialog(parent, QString::fromUtf8(kHelpFile)), project_(project), ui_(ui),
      notify_(std::move(notifyChanged)) {
    setWindowTitle(QString::fromUtf8(kCaption));
    menu_ = OptimizeMenu::add(*this, {project_, ui_, [this] { refresh(); }, [this] { changed(); }},
                              OptimizeMenu::kTableText, OptimizeMenu::kFitText, [this] { quickBox(); });
    auto* column = new QVBoxLayout(content());
    column->setContentsMargins(0, 0, 0, 0);

    box_ =
        new BoxVolumeFields(content(), tr("Box"), project_, project_.box(),
                            BoxVolumeFields::Variant::LossesAndQ, {VolumeField, QlField, QbField, FillField});
    column->addWidget(box_->group());

    const TAbrObject& abr = project_.abr();
    auto* group = new QGroupBox(tr("ABR"), content());
    QGridLayout* grid = formGrid(group, QStringLiteral("cm²"));
    vap_ = new TDblEdit(group, VapField, "%2.1f", 0.0001, 100000.0, -1.0, abr.Vap * kLitre);
    sd_ = new TDblEdit(group, SdField, "%2.1f", 1e-06, 100000.0, -1.0, abr.Sd * kSquareCm);
    mmp_ = new TDblEdit(group, MmpField, "%3.1f", 0.001, 1000.0, -1.0, abr.Mmp * kGram);
    fp_ = new TDblEdit(group, FpField, "%2.1f", 0.1, 100000.0, -1.0, abr.Fp);
    fb_ = new TDblEdit(group, FbField, "%2.1f", 0.1, 100000.0, -1.0, abr.Fb);
    xmax_ = new TDblEdit(group, XmaxField, "%2.1f", 0.0, 1000.0, -1.0, abr.Xmax * kMm);
    units_ = new TLongEdit(group, UnitsField, "%d", 1, TAbrObject::kMaxUnits, -1, abr.units, 1);
    addFormRow(grid, tr("Vap"), vap_, QStringLiteral("l"), kWidest);
    addFormRow(grid, tr("Sd"), sd_, QStringLiteral("cm²"), kWidest);
    addFormRow(grid, tr("Mmp"), mmp_, QStringLiteral("g"), kWidest);
    addFormRow(grid, tr("Fp"), fp_, QStringLiteral("Hz"), kWidest);
    addFormRow(grid, tr("Fb"), fb_, QStringLiteral("Hz"), kWidest);
    addFormRow(grid, tr("Xmax"), xmax_, QStringLiteral("mm"), kWidest);
    addFormRow(grid, tr("# ABR units"), units_, QString(), kWidest);
    nonLinear_ = new QCheckBox(tr("&Simulate non lin."), group);
    grid->addWidget(nonLinear_, grid->rowCount(), 0, 1, 3);
    column->addWidget(group);

    connect(box_, &BoxVolumeFields::boxChanged, this, &TAbrDialog::boxChanged);
    for (TEntryEdit* f : std::initializer_list<TEntryEdit*>{vap_, sd_, mmp_, fp_, fb_, xmax_, units_})
        connect(f, &TEntryEdit::changed, this, &TAbrDialog::fieldChanged);
    connect(nonLinear_, &QCheckBox::clicked, this, [this](bool on) {
        project_.abr().setNonLinear(on);
        changed();
    });
    refresh();
}

void TAbrDialog::refresh() {
    box_->refresh();
    const TAbrObject& abr = project_.abr();
    showReal(vap_, abr.Vap * kLitre);
    showReal(sd_, abr.Sd * kSquareCm);
    showReal(mmp_, abr.Mmp * kGram);
    showReal(fp_, abr.Fp);
    showReal(fb_, abr.Fb);
    showReal(xmax_, abr.Xmax * kMm);
    if (units_->value() != abr.units) units_->setValue(abr.units);
    // Without an excursion limit there is nothing to simulate; the flag itself stays.
    const bool limited = abr.Xmax != 0.0;
    const QSignalBlocker block(nonLinear_);
    nonLinear_->setEnabled(limited);
    nonLinear_->setChecked(limited && abr.nonLinear != 0);
}

void TAbrDialog::boxChanged() {
    // The in-box resonance depends on the volume and the fill.
    project_.abr().computeFb();
    project_.abr().changed = 1;
    changed();
}

void TAbrDialog::fieldChanged(int fieldId) {
    TAbrObject& abr = project_.abr();
    switch (fieldId) {
    case VapField:
        abr.setVap(vap_->value() / kLitre);
        break;
    case SdField:
        abr.setSd(sd_->value() / kSquareCm);
        break;
    case MmpField:
        abr.setMmp(mmp_->value() / kGram);
        break;
    case FpField:
        abr.setFp(fp_->value());
        break;
    case FbField:
        abr.setFb(fb_->value());
        break;
    case XmaxField:
        abr.setXmax(xmax_->value() / kMm);
        break;
    case UnitsField:
        abr.setUnits(units_->value());
        break;
    default:
        return;
    }
    changed();
}

void TAbrDialog::changed() {
    refresh();
    notifyProjectChanged(this, project_, ui_, notify_);
}

void TAbrDialog::quickBox() {
    // Without a complete driver there is nothing to size the box from.
    if (!project_.QuickBox()) return;
    changed();
}

} // namespace harlox
