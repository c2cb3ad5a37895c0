#include "gui/net_dialog.h"

#include "core/ui_host.h"
#include "gui/dbl_edit.h"
#include "gui/form_rows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPoint>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <optional>

namespace harlox {

namespace {

// Wide enough for an inductor's "value;series R", so every field of the dialog lines up.
const QString kWidest = QStringLiteral("0000.000;0.0");
const QString kWidestUnit = QStringLiteral("ohm");
constexpr const char* kCutoffFormat = "%2.0f";

// Where each section's dialog was when it was last closed.
std::optional<QPoint>& lastPosition(int section) {
    static std::array<std::optional<QPoint>, 3> pos;
    return pos[static_cast<std::size_t>(std::clamp(section, 0, 2))];
}

QPushButton* newCalcButton(QWidget* parent) {
    auto* b = new QPushButton(QStringLiteral("Calc"), parent);
    b->setAutoDefault(false);
    return b;
}

// A button at the field column of a form grid.
void addButtonRow(QGridLayout* grid, QPushButton* button) {
    grid->addWidget(button, grid->rowCount(), 1);
}

} // namespace

TNetDialog::TNetDialog(QWidget* parent, TNet& net, UiHost& ui)
    : TBaseDialog(parent, QString::fromUtf8(net.HelpFile())), net_(net), ui_(ui) {
    setWindowTitle(QString::fromStdString(net.Title()));
    QWidget* page = content();
    const auto [left, right] = twoColumns(page);

    // The slopes of the section: a band-pass has both, high-pass first as in the ladder.
    const TNet::SectionKind kind = net.Kind();
    if (kind != TNet::LowPass) left->addWidget(addSlope(page, false));
    if (kind != TNet::HighPass) left->addWidget(addSlope(page, true));

    // The ladder: each branch carries the elements of the slopes the section has.
    auto* ladder = new QGroupBox(tr("Filter section"), page);
    QGridLayout* lg = formGrid(ladder, kWidestUnit);
    for (int b = 0; b < TNet::kLadder; ++b) {
        const bool series = net.Branch(b).IsSeries();
        // Low-pass: series L, shunt C; high-pass the other way round.
        const bool inductor = kind == TNet::BandPass || (kind == TNet::LowPass) == series;
        const bool capacitor = kind == TNet::BandPass || (kind == TNet::LowPass) != series;
        if (inductor) addComponent(ladder, lg, b, CompKind::Inductor, "%2.3f");
        if (capacitor) addComponent(ladder, lg, b, CompKind::Capacitor, "%2.2f");
    }
    left->addWidget(ladder);
    left->addStretch(1);

    auto* notch = new QGroupBox(tr("Notch filter"), page);
    QGridLayout* ng = formGrid(notch, kWidestUnit);
    addComponent(notch, ng, TNet::kNotch, CompKind::Resistor, "%2.1f");
    addComponent(notch, ng, TNet::kNotch, CompKind::Inductor, "%2.3f");
    addComponent(notch, ng, TNet::kNotch, CompKind::Capacitor, "%2.3f");
    disconnect_ = new QCheckBox(QStringLiteral("Disconnect"), notch);
    ng->addWidget(disconnect_, ng->rowCount(), 0, 1, 3);
    right->addWidget(notch);

    auto* att = new QGroupBox(tr("Attenuator"), page);
    QGridLayout* ag = formGrid(att, kWidestUnit);
    attenuation_ = new TDblEdit(att, AttenuationControl, "%2.1f", -kMaxAttenuation, kMaxAttenuation, HUGE_VAL,
                                net.attenuation);
    attenuation_->setAlignment(Qt::AlignRight);
    addFormRow(ag, QStringLiteral("Att."), attenuation_, QStringLiteral("dB"), kWidest);
    attCalc_ = newCalcButton(att);
    addButtonRow(ag, attCalc_);
    addComponent(att, ag, TNet::kAttenuatorSeries, CompKind::Resistor, "%2.1f");
    addComponent(att, ag, TNet::kAttenuatorShunt, CompKind::Resistor, "%2.1f");
    right->addWidget(att);

    auto* zobel = new QGroupBox(tr("Zobel network"), page);
    QGridLayout* zg = formGrid(zobel, kWidestUnit);
    addComponent(zobel, zg, TNet::kZobel, CompKind::Resistor, "%2.1f");
    addComponent(zobel, zg, TNet::kZobel, CompKind::Capacitor, "%2.1f");
    zobelCalc_ = newCalcButton(zobel);
    addButtonRow(zg, zobelCalc_);
    right->addWidget(zobel);
    right->addStretch(1);

    for (const ComponentField& c : components_)
        connect(c.field, &TEntryEdit::changed, this, &TNetDialog::componentChanged);
    connect(disconnect_, &QCheckBox::clicked, this, [this](bool on) {
        net_.disconnect = on ? 1 : 0;
        net_.Edited();
    });
    // The setting only feeds the "Calc" below it.
    connect(attenuation_, &TEntryEdit::changed, this, [this] { net_.attenuation = attenuation_->value(); });
    connect(attCalc_, &QPushButton::clicked, this, [this] {
        if (!net_.CalcAttenuator()) ui_.beep();
        refresh();
    });
    connect(zobelCalc_, &QPushButton::clicked, this, [this] {
        if (!net_.CalcZobel()) ui_.beep();
        refresh();
    });

    const int section = net.SectionIndex();
    if (const auto& pos = lastPosition(section)) move(*pos);
    connect(this, &QDialog::finished, this, [this, section] { lastPosition(section) = pos(); });

    refresh();
}

QWidget* TNetDialog::addSlope(QWidget* parent, bool lowPass) {
    Slope& s = slopes_[lowPass ? 0 : 1];
    auto* box = new QGroupBox(lowPass ? tr("Low-pass") : tr("High-pass"), parent);
    QGridLayout* grid = formGrid(box, kWidestUnit);
    s.order = new QComboBox(box);
    s.order->setObjectName(lowPass ? QStringLiteral("lowPassOrder") : QStringLiteral("highPassOrder"));
    for (int n = 1; n <= 4; ++n)
        s.order->addItem(QStringLiteral("N=%1").arg(n));
    addFormRow(grid, tr("Order"), s.order, QString(), kWidest);
    s.cutoff = new TDblEdit(box, lowPass ? LowCutoffControl : HighCutoffControl, kCutoffFormat, kMinCutoff,
                            kMaxCutoff, -1.0, lowPass ? net_.lowPassCutoff : net_.highPassCutoff);
    s.cutoff->setAlignment(Qt::AlignRight);
    addFormRow(grid, tr("Cut-off"), s.cutoff, QStringLiteral("Hz"), kWidest);
    s.calc = newCalcButton(box);
    s.calc->setObjectName(lowPass ? QStringLiteral("lowPassCalc") : QStringLiteral("highPassCalc"));
    addButtonRow(grid, s.calc);

    // Order and cut-off are only stored; "Calc" designs the slope from them.
    connect(s.order, &QComboBox::activated, this, [this, lowPass](int index) {
        (lowPass ? net_.lowPassOrder : net_.highPassOrder) = static_cast<std::int16_t>(index + 1);
    });
    TDblEdit* cutoff = s.cutoff;
    connect(cutoff, &TEntryEdit::changed, this, [this, lowPass, cutoff] {
        (lowPass ? net_.lowPassCutoff : net_.highPassCutoff) = cutoff->value();
    });
    connect(s.calc, &QPushButton::clicked, this, [this, lowPass] { slopeCalc(lowPass); });
    return box;
}

TDblEdit* TNetDialog::addComponent(QWidget* parent, QGridLayout* grid, int branch, CompKind kind,
                                   const char* format) {
    const TComp& c = net_.Branch(branch).Component(kind);
    const bool inductor = kind == CompKind::Inductor;
    const int id = ComponentControlBase + 3 * branch + static_cast<int>(kind);
    auto* f = new TDblEdit(parent, id, format, 0.0, kMaxComponent, -1.0, c.value * c.Factor(), inductor);
    f->setAlignment(Qt::AlignRight);
    if (inductor) f->setSecondValue(c.seriesResistance);
    const QString unit = inductor ? QStringLiteral("mH;ohm") : QString::fromUtf8(c.Unit());
    addFormRow(grid, QString::fromUtf8(c.Name()), f, unit, kWidest);
    components_.push_back({f, branch, kind});
    return f;
}

TDblEdit* TNetDialog::componentField(const QString& name) const {
    for (const ComponentField& c : components_) {
        if (QString::fromUtf8(net_.Branch(c.branch).Component(c.kind).Name()) == name) return c.field;
    }
    return nullptr;
}

QStringList TNetDialog::componentNames() const {
    QStringList out;
    for (const ComponentField& c : components_)
        out << QString::fromUtf8(net_.Branch(c.branch).Component(c.kind).Name());
    return out;
}

void TNetDialog::refresh() {
    for (const bool lowPass : {true, false}) {
        const Slope& s = slope(lowPass);
        if (!s.order) continue;
        const int order = lowPass ? net_.lowPassOrder : net_.highPassOrder;
        {
            const QSignalBlocker block(s.order);
            s.order->setCurrentIndex(std::clamp(order, 1, 4) - 1);
        }
        showFieldValue(s.cutoff, lowPass ? net_.lowPassCutoff : net_.highPassCutoff);
    }
    for (const ComponentField& c : components_) {
        const TComp& comp = net_.Branch(c.branch).Component(c.kind);
        if (c.kind == CompKind::Inductor && c.field->secondValue() != comp.seriesResistance) {
            c.field->setSecondValue(comp.seriesResistance);
        }
        showFieldValue(c.field, comp.value * comp.Factor());
    }
    {
        const QSignalBlocker block(disconnect_);
        disconnect_->setChecked(net_.disconnect != 0);
    }
    showFieldValue(attenuation_, net_.attenuation);
}

void TNetDialog::componentChanged(int fieldId) {
    const auto it = std::find_if(components_.begin(), components_.end(), [fieldId](const ComponentField& c) {
        return c.field->fieldId() == fieldId;
    });
    if (it == components_.end()) return;
    const TComp& comp = net_.Branch(it->branch).Component(it->kind);
    const double value = it->field->value() / comp.Factor();
    const bool ok = it->kind == CompKind::Inductor
                        ? net_.SetInductor(it->branch, value, it->field->secondValue())
                        : net_.SetComponent(it->branch, it->kind, value);
    if (!ok) ui_.beep();
    refresh();
}

void TNetDialog::slopeCalc(bool lowPass) {
    // A cut-off still being typed is committed first; its notification may not have run yet.
    const Slope& s = slope(lowPass);
    if (s.cutoff->hasFocus()) s.cutoff->clearFocus();
    (lowPass ? net_.lowPassCutoff : net_.highPassCutoff) = s.cutoff->value();
    if (!(lowPass ? net_.DesignLowPass() : net_.DesignHighPass())) ui_.beep();
    refresh();
}

} // namespace harlox
