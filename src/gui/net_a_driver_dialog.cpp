#include "gui/net_a_driver_dialog.h"

#include "core/format.h"
#include "core/ui_host.h"
#include "filter/net_a.h"
#include "gui/dbl_edit.h"
#include "gui/form_rows.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace harlox {

namespace {

const QString kWidest = QStringLiteral("-0000.000");
const QString kMm = QStringLiteral("mm");

void showReal(TDblEdit* f, double v) {
    if (f->value() != v || f->text().isEmpty()) f->setValue(v);
}

void showText(QLineEdit* e, const QString& text) {
    if (e->text() != text) {
        e->setText(text);
        e->setCursorPosition(0);
    }
    e->setToolTip(text);
}

void setIndex(QComboBox* list, int index) {
    const QSignalBlocker block(list);
    list->setCurrentIndex(index);
}

} // namespace

TNetADriverDialog::TNetADriverDialog(QWidget* parent, TNetA& net, UiHost& ui)
    : TBaseDialog(parent, QString::fromUtf8(TNetA::kDriverHelpFile)), net_(net), ui_(ui) {
    setWindowTitle(QString::fromUtf8(kCaption));
    QWidget* page = content();
    auto* columns = new QHBoxLayout(page);
    columns->setContentsMargins(0, 0, 0, 0);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);

    const auto real = [this](QWidget* group, int id, const char* format, double minimum, double maximum) {
        auto* f = new TDblEdit(group, id, format, minimum, maximum, HUGE_VAL, 0.0);
        f->setAlignment(Qt::AlignRight);
        fields_[static_cast<std::size_t>(id - ReControl)] = f;
        connect(f, &TEntryEdit::changed, this, &TNetADriverDialog::fieldChanged);
        return f;
    };
    const auto list = [](QWidget* parent, std::initializer_list<const char*> items) {
        auto* l = new QComboBox(parent);
        for (const char* item : items)
            l->addItem(QString::fromUtf8(item));
        return l;
    };

    auto* units = new QGroupBox(tr("Driver units"), page);
    QGridLayout* ug = formGrid(units, QStringLiteral("ohm"));
    count_ = list(units, {"1 driver unit", "2 driver units", "3 driver units", "4 driver units"});
    connection_ = list(units, {"Series", "Parallell", "2_2"});
    size_ = list(units, {"Large", "Medium", "Small"});
    const QString widestList = QStringLiteral("4 driver units0000");
    addFormRow(ug, tr("Units"), count_, QString(), widestList);
    addFormRow(ug, tr("Connection"), connection_, QString(), widestList);
    addFormRow(ug, QStringLiteral("Driver size"), size_, QString(), widestList);
    invert_ = new QCheckBox(QStringLiteral("Invert polarity"), units);
    ug->addWidget(invert_, ug->rowCount(), 0, 1, 3);
    left->addWidget(units);

    auto* electrical = new QGroupBox(tr("Electrical data"), page);
    QGridLayout* eg = formGrid(electrical, QStringLiteral("ohm"));
    addFormRow(eg, QStringLiteral("Re"), real(electrical, ReControl, "%2.1f", 0.1, 1000.0),
               QStringLiteral("ohm"), kWidest);
    addFormRow(eg, QStringLiteral("Le"), real(electrical, LeControl, "%2.3f", 0.01, 100.0),
               QStringLiteral("mH"), kWidest);
    addFormRow(eg, QStringLiteral("Rex"), real(electrical, RexControl, "%2.1f", 0.0, 1000.0),
               QStringLiteral("ohm"), kWidest);
    left->addWidget(electrical);

    auto* position = new QGroupBox(tr("Position and size"), page);
    QGridLayout* pg = formGrid(position, QStringLiteral("ohm"));
    addFormRow(pg, QStringLiteral("dX"), real(position, DxControl, "%2.1f", -5000.0, 5000.0), kMm, kWidest);
    addFormRow(pg, QStringLiteral("dY"), real(position, DyControl, "%2.1f", -5000.0, 5000.0), kMm, kWidest);
    addFormRow(pg, QStringLiteral("dZ"), real(position, DzControl, "%2.1f", -5000.0, 5000.0), kMm, kWidest);
    addFormRow(pg, QStringLiteral("Piston radius"), real(position, RadiusControl, "%2.1f", 0.0, 1000.0), kMm,
               kWidest);
    left->addWidget(position);
    left->addStretch(1);

    // Which unit the per-driver fields show.
    auto* chooser = new QHBoxLayout;
    auto* unitGroup = new QButtonGroup(this);
    for (int d = 0; d < TNetA::kMaxDrivers; ++d) {
        auto* b = new QRadioButton(QStringLiteral("Driver unit %1").arg(d + 1), page);
        unit_[static_cast<std::size_t>(d)] = b;
        unitGroup->addButton(b, d);
        chooser->addWidget(b);
    }
    chooser->addStretch(1);
    right->addLayout(chooser);

    for (const bool spl : {true, false}) {
        Curve& c = curves_[spl ? 0 : 1];
        // An active network feeds a driver without a curve into a plain Re load.
        const QString title = spl              ? tr("SPL data file")
                              : net.isActive() ? tr("Impedance data file (none: Re load simulated)")
                                               : tr("Impedance data file");
        c.group = new QGroupBox(title, page);
        QGridLayout* g = formGrid(c.group, QStringLiteral("ohm"));
        c.name = new QLineEdit(c.group);
        c.name->setReadOnly(true);
        c.name->setFocusPolicy(Qt::NoFocus);
        c.name->setMinimumWidth(fieldWidth(c.name, kWidest) * 3);
        c.browse = new QPushButton(QStringLiteral("Browse"), c.group);
        c.browse->setAutoDefault(false);
        auto* row = new QHBoxLayout;
        row->addWidget(c.name, 1);
        row->addWidget(c.browse);
        g->addLayout(row, 0, 0, 1, 3);
        c.same = new QCheckBox(QString::fromUtf8(kSameAsDriver1), c.group);
        // Driver 1 has no such choice; the row keeps its place so the group does not jump.
        QSizePolicy keep = c.same->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        c.same->setSizePolicy(keep);
        g->addWidget(c.same, 1, 0, 1, 3);
        c.scaling = spl ? real(c.group, SplScalingControl, "%2.1f", -100.0, 100.0)
                        : real(c.group, ImpedanceScalingControl, "%2.2f", 0.01, 100.0);
        addFormRow(g, QStringLiteral("Scaling"), c.scaling, spl ? QStringLiteral("dB") : QString(), kWidest);
        connect(c.browse, &QPushButton::clicked, this, [this, spl] { browse(spl); });
        connect(c.same, &QCheckBox::clicked, this, [this, spl](bool on) { sameClicked(spl, on); });
        right->addWidget(c.group);
    }
    right->addStretch(1);

    connect(count_, &QComboBox::activated, this, [this](int index) {
        net_.SetDriverCount(index + 1);
        net_.Edited();
        refresh();
    });
    connect(connection_, &QComboBox::activated, this, [this](int index) {
        net_.SetConnection(index);
        net_.Edited();
        refresh();
    });
    connect(size_, &QComboBox::activated, this, [this](int index) {
        net_.driverSize = index;
        net_.Edited();
    });
    connect(invert_, &QCheckBox::clicked, this, [this](bool on) {
        net_.polarityInverted = on ? 1 : 0;
        net_.Edited();
    });
    connect(unitGroup, &QButtonGroup::idClicked, this, &TNetADriverDialog::setDriver);

    refresh();
}

TDblEdit* TNetADriverDialog::field(int id) const {
    if (id < ReControl || id > ImpedanceScalingControl) return nullptr;
    return fields_[static_cast<std::size_t>(id - ReControl)];
}

void TNetADriverDialog::setDriver(int d) {
    driver_ = d >= 0 && d < net_.DriversInUse() ? d : 0;
    refresh();
}

void TNetADriverDialog::refresh() {
    const int inUse = net_.DriversInUse();
    if (driver_ >= inUse) driver_ = 0;
    setIndex(count_, std::clamp<int>(net_.driverCount, 1, TNetA::kMaxDrivers) - 1);
    setIndex(connection_, static_cast<int>(net_.connection));
    setIndex(size_, std::clamp(net_.driverSize, 0, 2));
    // The pairs connection always takes four units.
    count_->setEnabled(net_.connection != TNetA::PairsConnection);
    {
        const QSignalBlocker block(invert_);
        invert_->setChecked(net_.polarityInverted != 0);
    }
    for (int d = 0; d < TNetA::kMaxDrivers; ++d) {
        QRadioButton* b = unit_[static_cast<std::size_t>(d)];
        const QSignalBlocker block(b);
        b->setEnabled(d < inUse);
        b->setChecked(d == driver_);
    }

    const auto d = static_cast<std::size_t>(driver_);
    showReal(field(ReControl), net_.Re);
    showReal(field(LeControl), net_.Le * 1000.0);
    showReal(field(RexControl), net_.Rex);
    showReal(field(DxControl), net_.dX[d] * 1000.0);
    showReal(field(DyControl), net_.dY[d] * 1000.0);
    showReal(field(DzControl), net_.dZ[d] * 1000.0);
    showReal(field(RadiusControl), net_.pistonRadius[d] * 1000.0);

    for (const bool spl : {true, false}) {
        const Curve& c = curve(spl);
        const bool same = driver_ > 0 && (spl ? net_.splSame : net_.impedanceSame)[d] != 0;
        // A unit that uses driver 1's curve also uses its scaling.
        const std::size_t shownDriver = same ? 0 : d;
        const TMeasData& data = spl ? net_.SplData(driver_) : net_.ImpedanceData(driver_);
        QString name;
        if (same)
            name = QString::fromUtf8(kSameAsDriver1);
        else if (!data.FileName().empty())
            name = QString::fromStdString(data.FileName());
        else if (!spl && net_.isActive())
            name = QString::fromStdString(strprintf("Not in use, %2.2f ohm load simulated", net_.Re));
        else
            name = QString::fromUtf8(kNotInUse);
        showText(c.name, name);
        {
            const QSignalBlocker block(c.same);
            c.same->setChecked(same);
        }
        c.same->setVisible(driver_ > 0);
        c.name->setEnabled(!same);
        c.browse->setEnabled(!same);
        c.scaling->setEnabled(!same);
        showReal(c.scaling,
                 spl ? net_.SplScalingDb(static_cast<int>(shownDriver)) : net_.impedanceScaling[shownDriver]);
    }
}

void TNetADriverDialog::fieldChanged(int id) {
    const double v = field(id)->value();
    const auto d = static_cast<std::size_t>(driver_);
    switch (id) {
    case ReControl:
        net_.Re = v;
        break;
    case LeControl:
        net_.Le = v * 0.001;
        break;
    case RexControl:
        net_.Rex = v;
        break;
    case DxControl:
        net_.dX[d] = v * 0.001;
        break;
    case DyControl:
        net_.dY[d] = v * 0.001;
        break;
    case DzControl:
        net_.dZ[d] = v * 0.001;
        break;
    case RadiusControl:
        net_.pistonRadius[d] = v * 0.001;
        break;
    case SplScalingControl:
        net_.SetSplScalingDb(driver_, v);
        break;
    case ImpedanceScalingControl:
        net_.impedanceScaling[d] = v;
        break;
    default:
        return;
    }
    net_.Edited();
    // The active net's "load simulated" text quotes Re.
    if (id == ReControl) refresh();
}

void TNetADriverDialog::sameClicked(bool spl, bool on) {
    if (driver_ == 0) return;
    (spl ? net_.splSame : net_.impedanceSame)[static_cast<std::size_t>(driver_)] = on ? 1 : 0;
    net_.Edited();
    refresh();
}

void TNetADriverDialog::browse(bool spl) {
    // A chosen file tells the network, which posts the recalculation.
    TMeasData& data = spl ? net_.SplData(driver_) : net_.ImpedanceData(driver_);
    data.SelectFile(ui_);
    refresh();
}

} // namespace harlox
