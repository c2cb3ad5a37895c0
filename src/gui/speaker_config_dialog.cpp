#include "gui/speaker_config_dialog.h"

#include "box/box_embryo.h"
#include "core/measure_setup.h"
#include "core/program_dir.h"
#include "driver/speaker_object.h"
#include "gui/dbl_edit.h"
#include "gui/electrical_conn_dialog.h"
#include "gui/form_rows.h"
#include "gui/long_edit.h"
#include "gui/project_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>
#include <optional>
#include <string>

namespace harlox {

namespace {

const QString kWidest = QStringLiteral("-000000.0");

QLineEdit* readOnlyText(QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    return e;
}

// The three wirings of an isobaric pair or a double voice coil, in connection order.
void addPairButtons(QButtonGroup* group, QBoxLayout* row, QWidget* parent, const char* series,
                    const char* parallel, const char* separate) {
    int id = TSpeakerObject::kPairSeries;
    for (const char* text : {series, parallel, separate}) {
        auto* b = new QRadioButton(QString::fromUtf8(text), parent);
        group->addButton(b, id++);
        row->addWidget(b);
    }
    row->addStretch(1);
}

void showReal(TDblEdit* f, double v) {
    if (f->value() != v) f->setValue(v);
}

void showWhole(TLongEdit* f, std::int32_t v) {
    if (f->value() != v) f->setValue(v);
}

} // namespace

FileSelector& TSpeakerConfigDialog::splSelector() {
    static FileSelector selector{kSplFilter, kSplExtension, false, {}};
    return selector;
}

TSpeakerConfigDialog::TSpeakerConfigDialog(QWidget* parent, TBoxEmbryo& project, TSpeakerObject& unit,
                                           UiHost& ui, const QString& caption,
                                           std::function<void(int code)> notifyChanged)
    : TBaseDialog(parent, QString::fromUtf8(kHelpFile)), project_(project), unit_(unit), ui_(ui),
      notify_(std::move(notifyChanged)) {
    setWindowTitle(caption);
    QWidget* page = content();
    const auto [left, right] = twoColumns(page);

    // The unit itself, for reference.
    auto* unitBox = new QGroupBox(tr("Driver unit"), page);
    auto* ug = new QGridLayout(unitBox);
    manufacturer_ = readOnlyText(unitBox);
    model_ = readOnlyText(unitBox);
    fileName_ = readOnlyText(unitBox);
    ug->addWidget(new QLabel(tr("Manufacturer")), 0, 0);
    ug->addWidget(manufacturer_, 0, 1);
    ug->addWidget(new QLabel(tr("Model")), 1, 0);
    ug->addWidget(model_, 1, 1);
    ug->addWidget(new QLabel(tr("File name")), 2, 0);
    ug->addWidget(fileName_, 2, 1);
    ug->setColumnStretch(1, 1);
    left->addWidget(unitBox);

    auto* drivers = new QGroupBox(tr("Drivers"), page);
    QGridLayout* dg = formGrid(drivers, QStringLiteral("Hz"));
    // The type decides the counts it takes (band-pass type 4: pairs).
    const TBoxEmbryo::DriverCountRange counts = project_.driverCountRange();
    driverCount_ = new TLongEdit(drivers, DriverCountField, "%d", counts.min, counts.max, -1,
                                 unit_.driverCount, counts.step);
    extraMass_ = new TDblEdit(drivers, ExtraMassField, "%2.1f", 0.0, TSpeakerObject::kMaxExtraMass * 1000.0,
                              -1.0, unit_.extraMass * 1000.0);
    addFormRow(dg, tr("Number of drivers"), driverCount_, QString(), kWidest);
    addFormRow(dg, tr("Extra mass"), extraMass_, QStringLiteral("g"), kWidest);
    connButton_ = new QPushButton(tr("&Electrical connection"), drivers);
    connButton_->setAutoDefault(false);
    connLabel_ = new QLabel(drivers);
    const int connRow = dg->rowCount();
    dg->addWidget(connButton_, connRow, 0);
    dg->addWidget(connLabel_, connRow, 1, 1, 2);
    left->addWidget(drivers);

    auto* iso = new QGroupBox(page);
    auto* isoColumn = new QVBoxLayout(iso);
    auto* isoTop = new QHBoxLayout;
    isoTop->addWidget(new QLabel(tr("Isobarik:")));
    isobaric_ = new QCheckBox(tr("&Yes"), iso);
    isoTop->addWidget(isobaric_);
    isoTop->addStretch(1);
    isoColumn->addLayout(isoTop);
    auto* isoRow = new QHBoxLayout;
    isobaricButtons_ = new QButtonGroup(this);
    addPairButtons(isobaricButtons_, isoRow, iso, "&Series", "&Parallell", "S&ep. sources");
    isoColumn->addLayout(isoRow);
    left->addWidget(iso);

    coilGroup_ = new QGroupBox(tr("Double voice coil"), page);
    auto* coilRow = new QHBoxLayout(coilGroup_);
    coilButtons_ = new QButtonGroup(this);
    addPairButtons(coilButtons_, coilRow, coilGroup_, "Series", "Parallell", "Sep. sources");
    left->addWidget(coilGroup_);
    left->addStretch(1);

    auto* analysis = new QGroupBox(tr("Additional analysis"), page);
    auto* ag = new QVBoxLayout(analysis);
    bl_ = new QCheckBox(tr("&BL nonlinearity"), analysis);
    heating_ = new QCheckBox(tr("&Voice coil heating"), analysis);
    cms_ = new QCheckBox(tr("&Cms nonlinearity"), analysis);
    ag->addWidget(bl_);
    ag->addWidget(heating_);
    ag->addWidget(cms_);
    right->addWidget(analysis);

    auto* measured = new QGroupBox(tr("Measured SPL data"), page);
    QGridLayout* mg = formGrid(measured, QStringLiteral("Hz"));
    importFile_ = readOnlyText(measured);
    importFile_->setMinimumWidth(fieldWidth(importFile_, kWidest) * 2);
    browse_ = new QPushButton(tr("&Browse"), measured);
    browse_->setAutoDefault(false);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(importFile_, 1);
    fileRow->addWidget(browse_);
    mg->addLayout(fileRow, 0, 0, 1, 3);
    disable_ = new QCheckBox(tr("&Disable"), measured);
    mg->addWidget(disable_, 1, 0, 1, 3);
    levelOffset_ = new TDblEdit(measured, LevelOffsetField, "%2.1f", -TSpeakerObject::kMaxLevelOffsetDb,
                                TSpeakerObject::kMaxLevelOffsetDb, HUGE_VAL, unit_.levelOffsetDb);
    addFormRow(mg, tr("Level offset"), levelOffset_, QStringLiteral("dB"), kWidest);
    autoLevel_ = new QCheckBox(tr("&Automatic level offset"), measured);
    mg->addWidget(autoLevel_, mg->rowCount(), 0, 1, 3);
    transition_ = new TLongEdit(measured, TransitionField, "%d", TSpeakerObject::kMinTransitionFrequency,
                                TSpeakerObject::kMaxTransitionFrequency, -1, unit_.transitionFrequency, 1);
    phaseLag_ = new TDblEdit(measured, PhaseLagField, "%2.1f", 0.0, TSpeakerObject::kMaxPhaseLagCutoff, -1.0,
                             unit_.phaseLagCutoff);
    addFormRow(mg, tr("Transition freq."), transition_, QStringLiteral("Hz"), kWidest);
    addFormRow(mg, tr("Phase lag cutoff"), phaseLag_, QStringLiteral("Hz"), kWidest);
    right->addWidget(measured);
    right->addStretch(1);

    for (TEntryEdit* f :
         std::initializer_list<TEntryEdit*>{driverCount_, extraMass_, levelOffset_, transition_, phaseLag_})
        connect(f, &TEntryEdit::changed, this, &TSpeakerConfigDialog::fieldChanged);
    for (QCheckBox* b : {isobaric_, bl_, heating_, cms_, disable_, autoLevel_})
        connect(b, &QCheckBox::clicked, this, [this, b] { optionClicked(b); });
    connect(isobaricButtons_, &QButtonGroup::idClicked, this,
            &TSpeakerConfigDialog::isobaricConnectionClicked);
    connect(coilButtons_, &QButtonGroup::idClicked, this, &TSpeakerConfigDialog::coilConnectionClicked);
    connect(connButton_, &QPushButton::clicked, this, [this] { openConnectionDialog(); });
    connect(browse_, &QPushButton::clicked, this, &TSpeakerConfigDialog::browse);

    refresh();
}

QRadioButton* TSpeakerConfigDialog::isobaricButton(int connection) const {
    return qobject_cast<QRadioButton*>(isobaricButtons_->button(connection));
}

QRadioButton* TSpeakerConfigDialog::coilButton(int connection) const {
    return qobject_cast<QRadioButton*>(coilButtons_->button(connection));
}

void TSpeakerConfigDialog::refresh() {
    showFieldText(manufacturer_, QString::fromStdString(unit_.manufacturerText()));
    showFieldText(model_, QString::fromStdString(unit_.modelText()));
    showFieldText(fileName_, QString::fromStdString(unit_.fileNameText()));

    showWhole(driverCount_, unit_.driverCount);
    showReal(extraMass_, unit_.extraMass * 1000.0);
    connButton_->setEnabled(unit_.driverCount >= 2);
    connLabel_->setText(QString::fromUtf8(TSpeakerObject::connectionName(unit_.driverConnection)));

    const QSignalBlocker blockIso(isobaricButtons_);
    const QSignalBlocker blockCoil(coilButtons_);
    for (QCheckBox* b : {isobaric_, bl_, heating_, cms_, disable_, autoLevel_}) {
        const QSignalBlocker block(b);
        b->setChecked(b == isobaric_  ? unit_.isobaric != 0
                      : b == bl_      ? unit_.blNonlinear != 0
                      : b == heating_ ? unit_.coilHeating != 0
                      : b == cms_     ? unit_.cmsNonlinear != 0
                      : b == disable_ ? unit_.importDisabled != 0
                                      : unit_.autoLevel != 0);
    }
    if (QAbstractButton* b = isobaricButtons_->button(unit_.isobaricConnection)) b->setChecked(true);
    for (QAbstractButton* b : isobaricButtons_->buttons())
        b->setEnabled(unit_.isobaric != 0);
    if (QAbstractButton* b = coilButtons_->button(unit_.coilConnection)) b->setChecked(true);
    coilGroup_->setEnabled(unit_.dualCoil != 0);

    const std::string file = unit_.importFileText();
    showFieldText(importFile_, file.empty() ? QString::fromUtf8(kNotInUse) : QString::fromStdString(file));
    showReal(levelOffset_, unit_.levelOffsetDb);
    // With the automatic offset the calculation sets the level; the field only shows it.
    levelOffset_->setReadOnly(unit_.autoLevel != 0);
    showWhole(transition_, unit_.transitionFrequency);
    showReal(phaseLag_, unit_.phaseLagCutoff);
}

void TSpeakerConfigDialog::fieldChanged(int fieldId) {
    bool accepted = false;
    switch (fieldId) {
    case DriverCountField:
        accepted =
            project_.driverCountAllowed(driverCount_->value()) && unit_.setDriverCount(driverCount_->value());
        break;
    case ExtraMassField:
        accepted = unit_.setExtraMass(extraMass_->value() * 0.001);
        break;
    case LevelOffsetField:
        accepted = unit_.setLevelOffsetDb(levelOffset_->value());
        break;
    case TransitionField:
        accepted = unit_.setTransitionFrequency(transition_->value());
        break;
    case PhaseLagField:
        accepted = unit_.setPhaseLagCutoff(phaseLag_->value());
        break;
    default:
        return;
    }
    if (accepted) {
        changed();
    } else {
        refresh();
    }
}

void TSpeakerConfigDialog::optionClicked(QAbstractButton* box) {
    const std::uint8_t on = box->isChecked() ? 1 : 0;
    if (box == isobaric_) {
        unit_.setIsobaric(on != 0);
    } else if (box == bl_) {
        unit_.blNonlinear = on;
    } else if (box == heating_) {
        unit_.coilHeating = on;
    } else if (box == cms_) {
        unit_.cmsNonlinear = on;
    } else if (box == disable_) {
        unit_.importDisabled = on;
    } else if (box == autoLevel_) {
        unit_.autoLevel = on;
    } else {
        return;
    }
    unit_.unitChanged = 1;
    changed();
}

void TSpeakerConfigDialog::isobaricConnectionClicked(int connection) {
    if (connection == unit_.isobaricConnection || !unit_.setIsobaricConnection(connection)) return;
    changed();
}

void TSpeakerConfigDialog::coilConnectionClicked(int connection) {
    if (connection == unit_.coilConnection || !unit_.setCoilConnection(connection)) return;
    changed();
}

TElectricalConnDialog* TSpeakerConfigDialog::openConnectionDialog() {
    if (connDialog_ || unit_.driverCount < 2) return connDialog_;
    auto* dlg = new TElectricalConnDialog(this, unit_);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setModal(true);
    connect(dlg, &QDialog::finished, this, [this, dlg](int result) {
        if (result == ResultOk && dlg->apply()) changed();
    });
    connDialog_ = dlg;
    dlg->show();
    return dlg;
}

void TSpeakerConfigDialog::browse() {
    const std::optional<std::string> path = ui_.selectFile(splSelector(), FileMode::Open);
    if (!path) return;
    unit_.setImportFile(makeRelativeToProgramDir(*path));
    // The calculation re-reads the data only while it is usable, so the first read is here;
    // a file that cannot be opened says so now.
    (void)unit_.ReadImportedData(TMeasureSetupObject::grid(), &ui_);
    changed();
}

void TSpeakerConfigDialog::changed() {
    refresh();
    notifyProjectChanged(this, project_, ui_, notify_);
    // Queued behind the notification: shows what the calculation derived (the level offset).
    ui_.post([self = QPointer<TSpeakerConfigDialog>(this)] {
        if (self) self->refresh();
    });
}

} // namespace harlox
