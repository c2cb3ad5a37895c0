#include "gui/room_cabinet_dialog.h"

#include "box/abr_box.h"
#include "box/bandpass_box.h"
#include "box/bass_reflex_box.h"
#include "box/bass_reflex_vel_box.h"
#include "box/box_embryo.h"
#include "box/closed_box.h"
#include "box/double_tuned_box.h"
#include "box/port_object.h"
#include "core/measure_setup.h"
#include "core/program_dir.h"
#include "core/ui_host.h"
#include "gui/dbl_edit.h"
#include "gui/form_rows.h"
#include "gui/long_edit.h"
#include "gui/project_dialogs.h"
#include "gui/speaker_config_dialog.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

namespace harlox {

namespace {

const QString kWidest = QStringLiteral("-0000.000");
constexpr const char* kMetres = "%2.2f";
// Positions on the baffle want millimetres.
constexpr const char* kBaffleMetres = "%2.3f";
constexpr const char* kAbsorptionFormat = "%2.2f";

std::optional<QPoint>& lastPosition() {
    static std::optional<QPoint> pos;
    return pos;
}

int clampedCount(int n) {
    return std::clamp(n, 0, RoomCabinetSettings::kSourcesPerGroup);
}

// "Port", or "Port 1", "Port 2", ... when there are more; `numbered` numbers even one.
void addElements(std::vector<RoomElement>& out, SourceGroup g, int count, const char* name,
                 bool numbered = false) {
    count = clampedCount(count);
    for (int i = 0; i < count; ++i) {
        const QString base = QString::fromUtf8(name);
        out.push_back({g, i, count > 1 || numbered ? QStringLiteral("%1 %2").arg(base).arg(i + 1) : base});
    }
}

int portCount(const TPortObject* p) {
    return p ? p->ports : 0;
}

} // namespace

std::vector<RoomElement> roomElements(const TBoxEmbryo& project) {
    std::vector<RoomElement> out;
    const int drivers = project.front().driverCount;
    const int ports1 = portCount(project.portElement());
    const int ports2 = portCount(project.port2Element());
    switch (project.typeCode()) {
    case TClosedBox::kTypeCode:
        addElements(out, SourceGroup::Drivers, drivers, "Driver unit");
        break;
    case TBassReflexBox::kTypeCode:
        addElements(out, SourceGroup::Drivers, drivers, "Driver unit");
        addElements(out, SourceGroup::Ports1, ports1, "Port");
        break;
    case TBassReflexDTBox::kTypeCode:
    case TBassReflexDT2Box::kTypeCode: {
        addElements(out, SourceGroup::Drivers, drivers, "Driver unit");
        // Only the port to the outside radiates; it is the first or second port by type.
        const auto* dt = dynamic_cast<const TDoubleTunedBox*>(&project);
        if (dt) {
            const bool first = &dt->frontPort() == project.portElement();
            addElements(out, first ? SourceGroup::Ports1 : SourceGroup::Ports2, dt->frontPort().ports,
                        "Front port");
        }
        break;
    }
    case TAbrBox::kTypeCode: {
        addElements(out, SourceGroup::Drivers, drivers, "Driver unit");
        const auto* abr = dynamic_cast<const TAbrBox*>(&project);
        if (abr) addElements(out, SourceGroup::PassiveRadiators, abr->abr().units, "Abr", true);
        break;
    }
    case TBP5Box::kTypeCode:
        addElements(out, SourceGroup::Ports1, ports1, "Port");
        break;
    case TBP6Box::kTypeCode:
        // The rear port vents into the front chamber.
        addElements(out, SourceGroup::Ports2, ports2, "Front port");
        break;
    case TBP7Box::kTypeCode:
        addElements(out, SourceGroup::Ports1, ports1, "Rear port");
        addElements(out, SourceGroup::Ports2, ports2, "Front port");
        break;
    case TBP8Box::kTypeCode:
        addElements(out, SourceGroup::Ports1, ports1, "Side port");
        addElements(out, SourceGroup::Ports2, ports2, "Middle port");
        break;
    case TBassReflexVelBox::kTypeCode:
        addElements(out, SourceGroup::Ports1, ports1, "Port");
        addElements(out, SourceGroup::Ports2, ports2, "Rear port");
        break;
    default:
        addElements(out, SourceGroup::Drivers, drivers, "Driver unit");
        break;
    }
    return out;
}

// ---- TAbsDialog -----------------------------------------------------------------------------

TAbsDialog::TAbsDialog(QWidget* parent, const RoomSurfaces<double>& r)
    : TBaseDialog(parent, QString::fromUtf8(kHelpFile), Buttons(OkButton | CancelButton | HelpButton)) {
    setWindowTitle(QString::fromUtf8(kCaption));
    auto* column = new QVBoxLayout(content());
    column->setContentsMargins(0, 0, 0, 0);
    auto* group = new QGroupBox(tr("Absorbtion coefficient"), content());
    QGridLayout* grid = formGrid(group, QString());
    const struct {
        Surface surface;
        const char* label;
        double factor;
    } rows[] = {
        {SpeakerBackWall, "Speaker back wall", r.speakerBackWall},
        {LeftWall, "Left side wall", r.leftWall},
        {RightWall, "Right side wall", r.rightWall},
        {Floor, "Floor", r.floor},
        {Ceiling, "Ceiling", r.ceiling},
        {ListenerBackWall, "Listener backwall", r.listenerBackWall},
    };
    for (const auto& row : rows) {
        auto* f = new TDblEdit(group, 101 + row.surface, kAbsorptionFormat, 0.0, 1.0, -1.0,
                               TRoomCabinet::absorptionOf(row.factor));
        fields_[static_cast<std::size_t>(row.surface)] = f;
        addFormRow(grid, QString::fromUtf8(row.label), f, QString(), QStringLiteral("00.000"));
    }
    column->addWidget(group);
}

RoomSurfaces<double> TAbsDialog::reflectionFactors() const {
    const auto r = [this](Surface s) { return TRoomCabinet::reflectionFactorOf(field(s)->value()); };
    RoomSurfaces<double> out;
    out.speakerBackWall = r(SpeakerBackWall);
    out.leftWall = r(LeftWall);
    out.rightWall = r(RightWall);
    out.floor = r(Floor);
    out.ceiling = r(Ceiling);
    out.listenerBackWall = r(ListenerBackWall);
    return out;
}

// ---- TRoomCabinetDialog ---------------------------------------------------------------------

std::optional<QPoint> TRoomCabinetDialog::rememberedPosition() {
    return lastPosition();
}

TRoomCabinetDialog::TRoomCabinetDialog(QWidget* parent, TBoxEmbryo& project, UiHost& ui,
                                       std::function<void(int code)> notifyChanged)
    : TBaseDialog(parent, QString::fromUtf8(kHelpFile), Buttons(HelpButton)), project_(project),
      room_(project.roomCabinet()), ui_(ui), notify_(std::move(notifyChanged)) {
    setWindowTitle(QString::fromUtf8(kCaption));

    menuBar_ = new QMenuBar(content());
    menuBar_->setNativeMenuBar(false);
    absorption_ = menuBar_->addAction(QStringLiteral("&Absorbtion coeffs."));
    connect(absorption_, &QAction::triggered, this, [this] { openAbsorptionDialog(); });

    QWidget* page = content();
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    // Inside the page, so that the dialog's full size counts it.
    outer->setMenuBar(menuBar_);
    auto* columns = new QHBoxLayout;
    outer->addLayout(columns);
    auto* left = new QVBoxLayout;
    auto* middle = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    for (QVBoxLayout* c : {left, middle, right})
        columns->addLayout(c);

    const QString m = QStringLiteral("m");
    const auto lengthGroup = [&](const QString& title, QVBoxLayout* column,
                                 std::initializer_list<std::pair<const char*, TDblEdit*>> rows) {
        auto* box = new QGroupBox(title, page);
        QGridLayout* grid = formGrid(box, QStringLiteral("dB"));
        for (const auto& [label, field] : rows) {
            field->setParent(box);
            addFormRow(grid, QString::fromUtf8(label), field, m, kWidest);
        }
        column->addWidget(box);
        return box;
    };
    const double big = kMaxRoomSize;
    lengthGroup(tr("Room dimensions"), left,
                {{"Roof height",
                  addReal(page, RoofHeightControl, kMetres, kMinRoomSize, big, -1.0, &room_.roofHeight)},
                 {"Depth", addReal(page, DepthControl, kMetres, kMinRoomSize, big, -1.0, &room_.roomDepth)},
                 {"Width", addReal(page, WidthControl, kMetres, kMinRoomSize, big, -1.0, &room_.roomWidth)}});
    speakerX_ = addReal(page, SpeakerXControl, kMetres, 0.0, big, -1.0, &room_.speakerX);
    speakerY_ = addReal(page, SpeakerYControl, kMetres, 0.0, big, -1.0, &room_.speakerY);
    speakerZ_ = addReal(page, SpeakerZControl, kMetres, 0.0, big, -1.0, &room_.speakerZ);
    lengthGroup(tr("Speaker position"), left, {{"X", speakerX_}, {"Y", speakerY_}, {"Z", speakerZ_}});
    listenerX_ = addReal(page, ListenerXControl, kMetres, 0.0, big, -1.0, &room_.listenerX);
    listenerY_ = addReal(page, ListenerYControl, kMetres, 0.0, big, -1.0, &room_.listenerY);
    listenerZ_ = addReal(page, ListenerZControl, kMetres, 0.0, big, -1.0, &room_.listenerZ);
    lengthGroup(tr("Listener position"), left, {{"X", listenerX_}, {"Y", listenerY_}, {"Z", listenerZ_}});
    lengthGroup(tr("Front baffle dimensions"), left,
                {{"Width", addReal(page, BaffleWidthControl, kBaffleMetres, kMinBaffleSize, kMaxBaffleSize,
                                   -1.0, &room_.baffleWidth)},
                 {"Height", addReal(page, BaffleHeightControl, kBaffleMetres, kMinBaffleSize, kMaxBaffleSize,
                                    -1.0, &room_.baffleHeight)}});
    left->addStretch(1);

    // The element fields follow the selected element.
    auto* source = new QGroupBox(tr("Source position"), page);
    QGridLayout* sg = formGrid(source, QStringLiteral("dB"));
    elements_ = new QListWidget(source);
    elements_->setObjectName(QStringLiteral("elementList"));
    const int rowHeight = elements_->fontMetrics().height() + 4;
    elements_->setFixedHeight(rowHeight * 4 + 2 * elements_->frameWidth() + 4);
    sg->addWidget(elements_, 0, 0, 1, 3);
    dX_ = addReal(source, DxControl, kBaffleMetres, 0.0, kMaxBaffleSize, -1.0, nullptr);
    dY_ = addReal(source, DyControl, kBaffleMetres, 0.0, kMaxBaffleSize, -1.0, nullptr);
    dZ_ = addReal(source, DzControl, kBaffleMetres, -kMaxDepthOffset, kMaxDepthOffset, HUGE_VAL, nullptr);
    addFormRow(sg, QStringLiteral("dX"), dX_, m, kWidest);
    addFormRow(sg, QStringLiteral("dY"), dY_, m, kWidest);
    addFormRow(sg, QStringLiteral("dZ"), dZ_, m, kWidest);
    middle->addWidget(source);

    auto* reflections = new QGroupBox(tr("Reflections from..."), page);
    QGridLayout* rg = formGrid(reflections, QStringLiteral("dB"));
    RoomSurfaces<std::uint8_t>& on = room_.reflections;
    for (const auto& [id, label, value] :
         {std::tuple{int(SpeakerBackWallControl), "Speaker back wall", &on.speakerBackWall},
          std::tuple{int(LeftWallControl), "Left side wall", &on.leftWall},
          std::tuple{int(RightWallControl), "Right side wall", &on.rightWall},
          std::tuple{int(FloorControl), "Floor", &on.floor},
          std::tuple{int(CeilingControl), "Ceiling", &on.ceiling},
          std::tuple{int(ListenerBackWallControl), "Listener backwall", &on.listenerBackWall},
          std::tuple{int(CabinetEdgesControl), "Cabinet edges", &room_.cabinetEdges}}) {
        rg->addWidget(addSwitch(reflections, id, QString::fromUtf8(label), value), rg->rowCount(), 0, 1, 3);
    }
    addFormRow(rg, QStringLiteral("Summation factor"),
               addReal(reflections, SummationControl, "%2.2f", 0.0, kMaxSummationFactor, -1.0,
                       &room_.summationFactor),
               QString(), kWidest);
    middle->addWidget(reflections);
    middle->addStretch(1);

    auto* show = new QGroupBox(tr("Show"), page);
    auto* showColumn = new QVBoxLayout(show);
    modes_ = new QButtonGroup(this);
    impact_ = new QRadioButton(QStringLiteral("Impact on freq. resp"), show);
    response_ = new QRadioButton(QStringLiteral("Frequency response"), show);
    modes_->addButton(impact_, TRoomCabinet::kShowImpact);
    modes_->addButton(response_, TRoomCabinet::kShowResponse);
    showColumn->addWidget(impact_);
    showColumn->addWidget(response_);
    showColumn->addWidget(
        addSwitch(show, SmoothingControl, QStringLiteral("1/3 octave smooth"), &room_.thirdOctaveSmoothing));
    showColumn->addWidget(
        addSwitch(show, NormalizedControl, QStringLiteral("Normalized SPL to 1m"), &room_.normalizedTo1m));
    right->addWidget(show);

    auto* measured = new QGroupBox(tr("Measured SPL data"), page);
    QGridLayout* mg = formGrid(measured, QStringLiteral("dB"));
    fileName_ = new QLineEdit(measured);
    fileName_->setObjectName(QStringLiteral("measuredFile"));
    fileName_->setReadOnly(true);
    fileName_->setFocusPolicy(Qt::NoFocus);
    fileName_->setMinimumWidth(fieldWidth(fileName_, kWidest) * 2);
    mg->addWidget(fileName_, 0, 0, 1, 3);
    browse_ = new QPushButton(tr("&Browse"), measured);
    browse_->setAutoDefault(false);
    disable_ = addSwitch(measured, DisableControl, tr("&Disable"), &room_.measuredDisabled);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(browse_);
    buttons->addWidget(disable_);
    buttons->addStretch(1);
    mg->addLayout(buttons, 1, 0, 1, 3);
    levelOffset_ = addReal(measured, LevelOffsetControl, "%2.1f", -kMaxLevelOffsetDb, kMaxLevelOffsetDb,
                           HUGE_VAL, &room_.levelOffsetDb);
    addFormRow(mg, QStringLiteral("Level offset"), levelOffset_, QStringLiteral("dB"), kWidest);
    autoLevel_ = addSwitch(measured, AutoLevelControl, tr("Automatic level offset"), &room_.autoLevelOffset);
    mg->addWidget(autoLevel_, mg->rowCount(), 0, 1, 3);
    transition_ = new TLongEdit(measured, TransitionControl, "%d", TRoomCabinet::kMinTransitionFrequency,
                                TRoomCabinet::kMaxTransitionFrequency, -1, room_.transitionFrequency, 1);
    addFormRow(mg, QStringLiteral("Transition freq."), transition_, QStringLiteral("Hz"), kWidest);
    right->addWidget(measured);
    right->addStretch(1);

    auto* calcRow = new QHBoxLayout;
    calc_ = new QPushButton(tr("&Calc"), page);
    calc_->setAutoDefault(false);
    calcNow_ = addSwitch(page, CalcImmediatelyControl, tr("Calc. imm."), &room_.calculateImmediately);
    calcRow->addWidget(calc_);
    calcRow->addWidget(calcNow_);
    calcRow->addStretch(1);
    right->addLayout(calcRow);

    for (const RealBinding& b : reals_)
        connect(b.field, &TEntryEdit::changed, this, &TRoomCabinetDialog::fieldChanged);
    connect(transition_, &TEntryEdit::changed, this, &TRoomCabinetDialog::fieldChanged);
    for (const SwitchBinding& s : switches_) {
        QCheckBox* box = s.box;
        connect(box, &QCheckBox::clicked, this, [this, box] { switchClicked(box); });
    }
    connect(modes_, &QButtonGroup::idClicked, this, &TRoomCabinetDialog::modeClicked);
    connect(elements_, &QListWidget::currentRowChanged, this, &TRoomCabinetDialog::elementSelected);
    connect(calc_, &QPushButton::clicked, this, &TRoomCabinetDialog::calculate);
    connect(browse_, &QPushButton::clicked, this, &TRoomCabinetDialog::browse);

    if (const auto& pos = lastPosition()) move(*pos);
    connect(this, &QDialog::finished, this, [this] { lastPosition() = pos(); });

    refresh();
}

TDblEdit* TRoomCabinetDialog::addReal(QWidget* group, int id, const char* format, double minimum,
                                      double maximum, double undefinedValue, double* value) {
    auto* f = new TDblEdit(group, id, format, minimum, maximum, undefinedValue, value ? *value : 0.0);
    f->setAlignment(Qt::AlignRight);
    reals_.push_back({f, value});
    return f;
}

QCheckBox* TRoomCabinetDialog::addSwitch(QWidget* group, int id, const QString& label, std::uint8_t* value) {
    auto* box = new QCheckBox(label, group);
    switches_.push_back({id, box, value});
    return box;
}

TDblEdit* TRoomCabinetDialog::realField(int id) const {
    for (const RealBinding& b : reals_) {
        if (b.field->fieldId() == id) return b.field;
    }
    return nullptr;
}

QCheckBox* TRoomCabinetDialog::checkBox(int id) const {
    for (const SwitchBinding& s : switches_) {
        if (s.id == id) return s.box;
    }
    return nullptr;
}

SourcePosition* TRoomCabinetDialog::selectedSource() const {
    const int row = elements_->currentRow();
    if (row < 0 || row >= static_cast<int>(listed_.size())) return nullptr;
    const RoomElement& e = listed_[static_cast<std::size_t>(row)];
    return &room_.source(e.group, e.index);
}

void TRoomCabinetDialog::refresh() {
    for (const RealBinding& b : reals_) {
        if (b.value) showFieldValue(b.field, *b.value);
    }
    // Cabinet and listener stand inside the room.
    speakerX_->setMaximum(room_.roomWidth);
    speakerY_->setMaximum(room_.roofHeight);
    speakerZ_->setMaximum(room_.roomDepth);
    listenerX_->setMaximum(room_.roomWidth);
    listenerY_->setMaximum(room_.roofHeight);
    listenerZ_->setMaximum(room_.roomDepth);
    dX_->setMaximum(room_.baffleWidth);
    dY_->setMaximum(room_.baffleHeight);
    if (transition_->value() != room_.transitionFrequency) transition_->setValue(room_.transitionFrequency);

    for (const SwitchBinding& s : switches_) {
        const QSignalBlocker block(s.box);
        s.box->setChecked(*s.value != 0);
    }
    {
        const QSignalBlocker block(modes_);
        (room_.displayMode == TRoomCabinet::kShowImpact ? impact_ : response_)->setChecked(true);
    }

    const bool inUse = room_.measuredInUse != 0 && !room_.measuredFile.empty();
    showFieldText(fileName_, inUse ? QString::fromStdString(room_.measuredFile) : QString::fromUtf8(kNotInUse));
    for (QWidget* w : std::initializer_list<QWidget*>{disable_, levelOffset_, autoLevel_, transition_})
        w->setEnabled(inUse);
    // With the automatic offset the calculation sets the level; the field only shows it.
    levelOffset_->setReadOnly(room_.autoLevelOffset != 0);

    refreshElements();
}

void TRoomCabinetDialog::refreshElements() {
    std::vector<RoomElement> now = roomElements(project_);
    if (now != listed_) {
        const int row = elements_->currentRow();
        const QSignalBlocker block(elements_);
        listed_ = std::move(now);
        elements_->clear();
        for (const RoomElement& e : listed_)
            elements_->addItem(e.name);
        if (!listed_.empty())
            elements_->setCurrentRow(std::clamp(row, 0, static_cast<int>(listed_.size()) - 1));
    }
    refreshSource();
}

void TRoomCabinetDialog::refreshSource() {
    const SourcePosition* p = selectedSource();
    for (TDblEdit* f : {dX_, dY_, dZ_})
        f->setEnabled(p != nullptr);
    if (!p) return;
    showFieldValue(dX_, p->dX);
    showFieldValue(dY_, p->dY);
    showFieldValue(dZ_, p->dZ);
}

void TRoomCabinetDialog::elementSelected(int /*row*/) {
    refreshSource();
}

void TRoomCabinetDialog::fieldChanged(int id) {
    if (id == TransitionControl) {
        room_.transitionFrequency = static_cast<std::int16_t>(transition_->value());
    } else if (id == DxControl || id == DyControl || id == DzControl) {
        SourcePosition* p = selectedSource();
        if (!p) return;
        (id == DxControl ? p->dX : id == DyControl ? p->dY : p->dZ) = realField(id)->value();
    } else {
        const auto it = std::find_if(reals_.begin(), reals_.end(),
                                     [id](const RealBinding& b) { return b.field->fieldId() == id; });
        if (it == reals_.end() || !it->value) return;
        *it->value = it->field->value();
        if (id == LevelOffsetControl) room_.levelFactor = std::pow(10.0, room_.levelOffsetDb / 20.0);
    }
    changed();
}

void TRoomCabinetDialog::switchClicked(QCheckBox* box) {
    const auto it = std::find_if(switches_.begin(), switches_.end(),
                                 [box](const SwitchBinding& s) { return s.box == box; });
    if (it == switches_.end()) return;
    *it->value = box->isChecked() ? 1 : 0;
    // Switching immediate calculation on brings the curves up to date at once.
    changed();
}

void TRoomCabinetDialog::modeClicked(int mode) {
    if (mode == room_.displayMode) return;
    room_.setDisplayMode(mode);
    changed();
}

void TRoomCabinetDialog::changed() {
    refresh();
    project_.markChanged();
    if (room_.calculateImmediately == 0) {
        ui_.repaint();
        return;
    }
    // The project's own switch decides for its notification; this dialog's says calculate.
    if (TMeasureSetupObject::setup().calculateImmediately != 0) {
        notifyProjectChanged(this, project_, ui_, notify_);
    } else {
        ui_.post([self = QPointer<TRoomCabinetDialog>(this)] {
            if (self) self->calculate();
        });
    }
    // Queued behind the calculation: shows what it derived (the automatic level offset).
    ui_.post([self = QPointer<TRoomCabinetDialog>(this)] {
        if (self) self->refresh();
    });
}

void TRoomCabinetDialog::calculate() {
    if (!project_.canCalculate()) {
        ui_.beep();
        return;
    }
    project_.Calculate(0);
    refresh();
    ui_.repaint();
}

void TRoomCabinetDialog::browse() {
    const std::optional<std::string> path =
        ui_.selectFile(TSpeakerConfigDialog::splSelector(), FileMode::Open);
    if (!path) return;
    room_.setMeasuredFile(makeRelativeToProgramDir(*path));
    room_.measuredInUse = 1;
    // Read now, so that a file that cannot be opened says so at once; the calculation reads
    // it again only when the name or the grid changes.
    (void)room_.ReadMeasuredData(&ui_);
    changed();
}

TAbsDialog* TRoomCabinetDialog::openAbsorptionDialog() {
    if (absDialog_) return absDialog_;
    auto* dlg = new TAbsDialog(this, room_.reflectionFactors);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setModal(true);
    connect(dlg, &QDialog::finished, this, [this, dlg] {
        if (dlg->resultCode() != ResultOk) return;
        const RoomSurfaces<double> r = dlg->reflectionFactors();
        if (r == room_.reflectionFactors) return;
        room_.reflectionFactors = r;
        changed();
    });
    absDialog_ = dlg;
    dlg->show();
    return dlg;
}

} // namespace harlox
