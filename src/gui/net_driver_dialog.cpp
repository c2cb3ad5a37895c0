#include "gui/net_driver_dialog.h"

#include "core/ui_host.h"
#include "filter/net.h"
#include "gui/dbl_edit.h"
#include "gui/form_rows.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <initializer_list>

namespace harlox {

namespace {

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

} // namespace

TDriverDialog::TDriverDialog(QWidget* parent, TNet& net, UiHost& ui)
    : TBaseDialog(parent, QString::fromUtf8(TNet::DriverHelpFile())), net_(net), ui_(ui),
      fields_([this](int id) { fieldChanged(id); }) {
    setWindowTitle(QString::fromUtf8(caption(net.SectionIndex())));
    QWidget* page = content();
    const FormColumns columns = twoColumns(page);

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
    columns.left->addWidget(units);
    columns.left->addWidget(fields_.electricalGroup(page));
    columns.left->addStretch(1);

    // Which unit the fields on the right show.
    QButtonGroup* unitGroup = driverUnitChooser(this, page, columns.right, unit_);
    columns.right->addWidget(fields_.positionGroup(page));
    for (const bool spl : {true, false}) {
        DriverCurveGroup& c = curves_[spl ? 0 : 1];
        c = fields_.curveGroup(page, spl ? tr("SPL data file") : tr("Impedance data file"), spl, 2);
        connect(c.browse, &QPushButton::clicked, this, [this, spl] { browse(spl); });
        columns.right->addWidget(c.group);
    }
    columns.right->addStretch(1);

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

DriverValues TDriverDialog::values() {
    const auto d = static_cast<std::size_t>(driver_);
    return {net_.Re, net_.Le, net_.Rex, net_.posX[d], net_.posY[d], net_.posZ[d], net_.pistonRadius[d]};
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

    fields_.show(values());
    showFieldValue(field(SplScalingControl), net_.SplScalingDb(driver_));
    showFieldValue(field(ImpedanceScalingControl), net_.impedanceScaling[static_cast<std::size_t>(driver_)]);

    const auto fileText = [](const TMeasData& curve) {
        return curve.FileName().empty() ? QString::fromUtf8(kNotInUse)
                                        : QString::fromStdString(curve.FileName());
    };
    showFieldText(curve(true).name, fileText(net_.Spl(driver_)));
    showFieldText(curve(false).name, fileText(net_.Impedance(driver_)));
}

void TDriverDialog::fieldChanged(int id) {
    if (id == SplScalingControl)
        net_.SetSplScalingDb(driver_, field(id)->value());
    else if (id == ImpedanceScalingControl)
        net_.impedanceScaling[static_cast<std::size_t>(driver_)] = field(id)->value();
    else if (!fields_.store(id, values()))
        return;
    net_.Edited();
}

void TDriverDialog::browse(bool spl) {
    // A chosen file tells the network, which posts the recalculation.
    TMeasData& curve = spl ? net_.Spl(driver_) : net_.Impedance(driver_);
    curve.SelectFile(ui_);
    refresh();
}

} // namespace harlox
