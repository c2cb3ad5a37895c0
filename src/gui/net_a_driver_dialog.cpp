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
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>

namespace harlox {

namespace {

void setIndex(QComboBox* list, int index) {
    const QSignalBlocker block(list);
    list->setCurrentIndex(index);
}

} // namespace

TNetADriverDialog::TNetADriverDialog(QWidget* parent, TNetA& net, UiHost& ui)
    : TBaseDialog(parent, QString::fromUtf8(TNetA::kDriverHelpFile)), net_(net), ui_(ui),
      fields_([this](int id) { fieldChanged(id); }) {
    setWindowTitle(QString::fromUtf8(kCaption));
    QWidget* page = content();
    const FormColumns columns = twoColumns(page);

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
    columns.left->addWidget(units);
    columns.left->addWidget(fields_.electricalGroup(page));
    columns.left->addWidget(fields_.positionGroup(page));
    columns.left->addStretch(1);

    // Which unit the per-driver fields show.
    QButtonGroup* unitGroup = driverUnitChooser(this, page, columns.right, unit_);
    for (const bool spl : {true, false}) {
        // An active network feeds a driver without a curve into a plain Re load.
        const QString title = spl              ? tr("SPL data file")
                              : net.isActive() ? tr("Impedance data file (none: Re load simulated)")
                                               : tr("Impedance data file");
        // Driver 1 has no "same" choice; the box keeps its place so the group does not jump.
        DriverCurveGroup& c = curves_[spl ? 0 : 1];
        c = fields_.curveGroup(page, title, spl, 3, QString::fromUtf8(kSameAsDriver1));
        connect(c.browse, &QPushButton::clicked, this, [this, spl] { browse(spl); });
        connect(c.same, &QCheckBox::clicked, this, [this, spl](bool on) { sameClicked(spl, on); });
        columns.right->addWidget(c.group);
    }
    columns.right->addStretch(1);

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

DriverValues TNetADriverDialog::values() {
    const auto d = static_cast<std::size_t>(driver_);
    return {net_.Re, net_.Le, net_.Rex, net_.dX[d], net_.dY[d], net_.dZ[d], net_.pistonRadius[d]};
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
    fields_.show(values());

    for (const bool spl : {true, false}) {
        const DriverCurveGroup& c = curve(spl);
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
        showFieldText(c.name, name);
        {
            const QSignalBlocker block(c.same);
            c.same->setChecked(same);
        }
        c.same->setVisible(driver_ > 0);
        c.name->setEnabled(!same);
        c.browse->setEnabled(!same);
        c.scaling->setEnabled(!same);
        showFieldValue(c.scaling,
                 spl ? net_.SplScalingDb(static_cast<int>(shownDriver)) : net_.impedanceScaling[shownDriver]);
    }
}

void TNetADriverDialog::fieldChanged(int id) {
    if (id == SplScalingControl)
        net_.SetSplScalingDb(driver_, field(id)->value());
    else if (id == ImpedanceScalingControl)
        net_.impedanceScaling[static_cast<std::size_t>(driver_)] = field(id)->value();
    else if (!fields_.store(id, values()))
        return;
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
