#include "gui/net_driver_dialog.h"

#include "core/ui_host.h"
#include "filter/net.h"
#include "gui/dbl_edit.h"
#include "gui/form_rows.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>
#include <initializer_list>

namespace harlox {

namespace {

const QString kWidest = QStringLiteral("-0000.000");
const QString kMm = QStringLiteral("mm");

const char* caption(int section) {
    switch (section) {
    case 0:
        return "Bass driver";
    case 1:
        return "Midrange driver";
    default:
        return "Treble driver";
    }
}

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

QLineEdit* fileNameLine(QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    e->setMinimumWidth(fieldWidth(e, kWidest) * 2);
    return e;
}

} // namespace

TDriverDialog::TDriverDialog(QWidget* parent, TNet& net, UiHost& ui)
    : TBaseDialog(parent, QString::fromUtf8(TNet::DriverHelpFile())), net_(net), ui_(ui) {
    setWindowTitle(QString::fromUtf8(caption(net.SectionIndex())));
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
        connect(f, &TEntryEdit::changed, this, &TDriverDialog::fieldChanged);
        return f;
    };

    auto* units = new QGroupBox(tr("Driver units"), page);
    auto* ug = new QGridLayout(units);
    auto* countGroup = new QButtonGroup(this);
    auto* wiringGroup = new QButtonGroup(this);
    count_[0] = new QRadioButton(QStringLiteral("1 driver unit"), units);
    count_[1] = new QRadioButton(QStringLiteral("2 driver units"), units);
    series_ = new QRadioButton(QStringLiteral("Series"), units);
    parallel_ = new QRadioButton(QStringLiteral("Parallell"), units);
    countGroup->addButton(count_[0], 1);
    countGroup->addButton(count_[1], 2);
    wiringGroup->addButton(series_, 1);
    wiringGroup->addButton(parallel_, 0);
    ug->addWidget(count_[0], 0, 0);
    ug->addWidget(count_[1], 1, 0);
    ug->addWidget(series_, 0, 1);
    ug->addWidget(parallel_, 1, 1);
    invert_ = new QCheckBox(QStringLiteral("Invert polarity"), units);
    ug->addWidget(invert_, 2, 0, 1, 2);
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
    left->addStretch(1);

    // Which unit the fields on the right show.
    auto* chooser = new QHBoxLayout;
    auto* unitGroup = new QButtonGroup(this);
    for (int d = 0; d < 2; ++d) {
        unit_[static_cast<std::size_t>(d)] =
            new QRadioButton(QStringLiteral("Driver unit %1").arg(d + 1), page);
        unitGroup->addButton(unit_[static_cast<std::size_t>(d)], d);
        chooser->addWidget(unit_[static_cast<std::size_t>(d)]);
    }
    chooser->addStretch(1);
    right->addLayout(chooser);

    auto* position = new QGroupBox(tr("Position and size"), page);
    QGridLayout* pg = formGrid(position, QStringLiteral("ohm"));
    addFormRow(pg, QStringLiteral("dX"), real(position, DxControl, "%2.1f", -5000.0, 5000.0), kMm, kWidest);
    addFormRow(pg, QStringLiteral("dY"), real(position, DyControl, "%2.1f", -5000.0, 5000.0), kMm, kWidest);
    addFormRow(pg, QStringLiteral("dZ"), real(position, DzControl, "%2.1f", -5000.0, 5000.0), kMm, kWidest);
    addFormRow(pg, QStringLiteral("Piston radius"), real(position, RadiusControl, "%2.1f", 0.0, 1000.0), kMm,
               kWidest);
    right->addWidget(position);

    const auto curveGroup = [&](bool spl) {
        auto* box = new QGroupBox(spl ? tr("SPL data file") : tr("Impedance data file"), page);
        QGridLayout* g = formGrid(box, QStringLiteral("ohm"));
        QLineEdit* name = fileNameLine(box);
        auto* button = new QPushButton(QStringLiteral("Browse"), box);
        button->setAutoDefault(false);
        auto* row = new QHBoxLayout;
        row->addWidget(name, 1);
        row->addWidget(button);
        g->addLayout(row, 0, 0, 1, 3);
        TDblEdit* scaling = spl ? real(box, SplScalingControl, "%2.1f", -100.0, 100.0)
                                : real(box, ImpedanceScalingControl, "%2.2f", 0.01, 100.0);
        addFormRow(g, QStringLiteral("Scaling"), scaling, spl ? QStringLiteral("dB") : QString(), kWidest);
        (spl ? splName_ : zName_) = name;
        (spl ? splBrowse_ : zBrowse_) = button;
        connect(button, &QPushButton::clicked, this, [this, spl] { browse(spl); });
        right->addWidget(box);
    };
    curveGroup(true);
    curveGroup(false);
    right->addStretch(1);

    connect(countGroup, &QButtonGroup::idClicked, this, [this](int n) {
        net_.driverCount = static_cast<std::int16_t>(n);
        if (n == 1) driver_ = 0;
        net_.Edited();
        refresh();
    });
    connect(wiringGroup, &QButtonGroup::idClicked, this, [this](int series) {
        net_.driversInSeries = static_cast<std::uint8_t>(series);
        net_.Edited();
    });
    connect(invert_, &QCheckBox::clicked, this, [this](bool on) {
        net_.invert = on ? 1 : 0;
        net_.Edited();
    });
    connect(unitGroup, &QButtonGroup::idClicked, this, &TDriverDialog::setDriver);

    refresh();
}

TDblEdit* TDriverDialog::field(int id) const {
    if (id < ReControl || id > ImpedanceScalingControl) return nullptr;
    return fields_[static_cast<std::size_t>(id - ReControl)];
}

void TDriverDialog::setDriver(int d) {
    driver_ = d == 1 && net_.driverCount == 2 ? 1 : 0;
    refresh();
}

void TDriverDialog::refresh() {
    const bool two = net_.driverCount == 2;
    if (!two) driver_ = 0;
    for (QRadioButton* b : {count_[0], count_[1], series_, parallel_, unit_[0], unit_[1]}) {
        const QSignalBlocker block(b);
        if (b == count_[0])
            b->setChecked(!two);
        else if (b == count_[1])
            b->setChecked(two);
        else if (b == series_)
            b->setChecked(net_.driversInSeries != 0);
        else if (b == parallel_)
            b->setChecked(net_.driversInSeries == 0);
        else
            b->setChecked(b == unit_[static_cast<std::size_t>(driver_)]);
    }
    {
        const QSignalBlocker block(invert_);
        invert_->setChecked(net_.invert != 0);
    }
    // The wiring and the second unit only mean something with two units.
    series_->setEnabled(two);
    parallel_->setEnabled(two);
    unit_[1]->setEnabled(two);

    const auto d = static_cast<std::size_t>(driver_);
    showReal(field(ReControl), net_.Re);
    showReal(field(LeControl), net_.Le * 1000.0);
    showReal(field(RexControl), net_.Rex);
    showReal(field(DxControl), net_.posX[d] * 1000.0);
    showReal(field(DyControl), net_.posY[d] * 1000.0);
    showReal(field(DzControl), net_.posZ[d] * 1000.0);
    showReal(field(RadiusControl), net_.pistonRadius[d] * 1000.0);
    showReal(field(SplScalingControl), net_.SplScalingDb(driver_));
    showReal(field(ImpedanceScalingControl), net_.impedanceScaling[d]);

    const auto fileText = [](const TMeasData& curve) {
        return curve.FileName().empty() ? QString::fromUtf8(kNotInUse)
                                        : QString::fromStdString(curve.FileName());
    };
    showText(splName_, fileText(net_.Spl(driver_)));
    showText(zName_, fileText(net_.Impedance(driver_)));
}

void TDriverDialog::fieldChanged(int id) {
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
        net_.posX[d] = v * 0.001;
        break;
    case DyControl:
        net_.posY[d] = v * 0.001;
        break;
    case DzControl:
        net_.posZ[d] = v * 0.001;
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
}

void TDriverDialog::browse(bool spl) {
    // A chosen file tells the network, which posts the recalculation.
    TMeasData& curve = spl ? net_.Spl(driver_) : net_.Impedance(driver_);
    curve.SelectFile(ui_);
    refresh();
}

} // namespace harlox
