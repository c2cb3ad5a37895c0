#include "gui/driver_fields.h"

#include "gui/dbl_edit.h"
#include "gui/form_rows.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>

namespace harlox {

namespace {

const QString kWidest = QStringLiteral("-0000.000");
const QString kWidestUnit = QStringLiteral("ohm");
const QString kMm = QStringLiteral("mm");

} // namespace

TDblEdit* DriverFields::field(int id) const {
    if (id < ReControl || id > ImpedanceScalingControl) return nullptr;
    return fields_[static_cast<std::size_t>(id - ReControl)];
}

TDblEdit* DriverFields::real(QWidget* group, int id, const char* format, double minimum, double maximum) {
    auto* f = new TDblEdit(group, id, format, minimum, maximum, HUGE_VAL, 0.0);
    f->setAlignment(Qt::AlignRight);
    fields_[static_cast<std::size_t>(id - ReControl)] = f;
    QObject::connect(f, &TEntryEdit::changed, f, [this](int fieldId) { changed_(fieldId); });
    return f;
}

QGroupBox* DriverFields::electricalGroup(QWidget* page) {
    auto* box = new QGroupBox(QObject::tr("Electrical data"), page);
    QGridLayout* g = formGrid(box, kWidestUnit);
    addFormRow(g, QStringLiteral("Re"), real(box, ReControl, "%2.1f", 0.1, 1000.0), QStringLiteral("ohm"),
               kWidest);
    addFormRow(g, QStringLiteral("Le"), real(box, LeControl, "%2.3f", 0.01, 100.0), QStringLiteral("mH"),
               kWidest);
    addFormRow(g, QStringLiteral("Rex"), real(box, RexControl, "%2.1f", 0.0, 1000.0), QStringLiteral("ohm"),
               kWidest);
    return box;
}

QGroupBox* DriverFields::positionGroup(QWidget* page) {
    auto* box = new QGroupBox(QObject::tr("Position and size"), page);
    QGridLayout* g = formGrid(box, kWidestUnit);
    addFormRow(g, QStringLiteral("dX"), real(box, DxControl, "%2.1f", -5000.0, 5000.0), kMm, kWidest);
    addFormRow(g, QStringLiteral("dY"), real(box, DyControl, "%2.1f", -5000.0, 5000.0), kMm, kWidest);
    addFormRow(g, QStringLiteral("dZ"), real(box, DzControl, "%2.1f", -5000.0, 5000.0), kMm, kWidest);
    addFormRow(g, QStringLiteral("Piston radius"), real(box, RadiusControl, "%2.1f", 0.0, 1000.0), kMm, kWidest);
    return box;
}

DriverCurveGroup DriverFields::curveGroup(QWidget* page, const QString& title, bool spl, int nameWidths,
                                          const QString& sameText) {
    DriverCurveGroup c;
    c.group = new QGroupBox(title, page);
    QGridLayout* g = formGrid(c.group, kWidestUnit);
    c.name = new QLineEdit(c.group);
    c.name->setReadOnly(true);
    c.name->setFocusPolicy(Qt::NoFocus);
    c.name->setMinimumWidth(fieldWidth(c.name, kWidest) * nameWidths);
    c.browse = new QPushButton(QStringLiteral("Browse"), c.group);
    c.browse->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addWidget(c.name, 1);
    row->addWidget(c.browse);
    g->addLayout(row, 0, 0, 1, 3);
    if (!sameText.isEmpty()) {
        c.same = new QCheckBox(sameText, c.group);
        QSizePolicy keep = c.same->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        c.same->setSizePolicy(keep);
        g->addWidget(c.same, 1, 0, 1, 3);
    }
    c.scaling = spl ? real(c.group, SplScalingControl, "%2.1f", -100.0, 100.0)
                    : real(c.group, ImpedanceScalingControl, "%2.2f", 0.01, 100.0);
    addFormRow(g, QStringLiteral("Scaling"), c.scaling, spl ? QStringLiteral("dB") : QString(), kWidest);
    return c;
}

void DriverFields::show(const DriverValues& v) const {
    showFieldValue(field(ReControl), v.re);
    showFieldValue(field(LeControl), v.le * 1000.0);
    showFieldValue(field(RexControl), v.rex);
    showFieldValue(field(DxControl), v.dx * 1000.0);
    showFieldValue(field(DyControl), v.dy * 1000.0);
    showFieldValue(field(DzControl), v.dz * 1000.0);
    showFieldValue(field(RadiusControl), v.radius * 1000.0);
}

bool DriverFields::store(int id, const DriverValues& v) const {
    const TDblEdit* f = field(id);
    if (!f) return false;
    const double x = f->value();
    switch (id) {
    case ReControl:
        v.re = x;
        return true;
    case LeControl:
        v.le = x * 0.001;
        return true;
    case RexControl:
        v.rex = x;
        return true;
    case DxControl:
        v.dx = x * 0.001;
        return true;
    case DyControl:
        v.dy = x * 0.001;
        return true;
    case DzControl:
        v.dz = x * 0.001;
        return true;
    case RadiusControl:
        v.radius = x * 0.001;
        return true;
    default:
        return false;
    }
}

QButtonGroup* driverUnitChooser(QObject* owner, QWidget* page, QBoxLayout* into, std::span<QRadioButton*> out) {
    auto* row = new QHBoxLayout;
    auto* group = new QButtonGroup(owner);
    for (std::size_t d = 0; d < out.size(); ++d) {
        out[d] = new QRadioButton(QStringLiteral("Driver unit %1").arg(d + 1), page);
        group->addButton(out[d], static_cast<int>(d));
        row->addWidget(out[d]);
    }
    row->addStretch(1);
    into->addLayout(row);
    return group;
}

} // namespace harlox
