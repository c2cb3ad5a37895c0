#include "gui/ts_fit_dialog.h"

#include "box/box_embryo.h"
#include "core/format.h"
#include "core/ui_host.h"
#include "driver/unit_completion.h"
#include "gui/dbl_edit.h"
#include "gui/diagram_view.h"
#include "gui/form_rows.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

namespace harlox {

namespace {

constexpr const char* kCurveFilter = "Impedance files (*.zma;*.txt)|*.zma;*.txt|All files (*.*)|*.*|";
const QString kWidestResult = QStringLiteral("K 0.00000, n 0.000");
// Every field of the window has the results' width, so the groups line up.
const QString kWidestUnit = QStringLiteral("mm/N");

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// |Z| of a curve at the frequencies x, log-interpolated between its points; held at the ends.
std::vector<double> magnitudeAt(const TsFitCurve& c, const std::vector<double>& x) {
    std::vector<double> out(x.size(), 0.0);
    if (c.f.empty()) return out;
    std::size_t j = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        while (j + 1 < c.f.size() && c.f[j + 1] < x[i])
            ++j;
        if (x[i] <= c.f.front()) {
            out[i] = std::abs(c.z.front());
        } else if (j + 1 >= c.f.size()) {
            out[i] = std::abs(c.z.back());
        } else {
            const double t = std::log(x[i] / c.f[j]) / std::log(c.f[j + 1] / c.f[j]);
            out[i] = (1.0 - t) * std::abs(c.z[j]) + t * std::abs(c.z[j + 1]);
        }
    }
    return out;
}

} // namespace

FileSelector& TTsFitDialog::curveSelector() {
    static FileSelector selector{kCurveFilter, "zma", false, {}};
    return selector;
}

FileSelector& TTsFitDialog::unitSelector() {
    static FileSelector selector{kUnitFileFilter, kUnitFileExtension, false, {}};
    return selector;
}

TTsFitDialog::TTsFitDialog(QWidget* parent, UiHost& ui, TBoxEmbryo* box)
    : TBaseDialog(parent, QString::fromUtf8(kHelpFile), Buttons(OkButton | HelpButton)), ui_(ui), box_(box) {
    setWindowTitle(QString::fromUtf8(kCaption));
    auto* columns = new QHBoxLayout(content());
    columns->setContentsMargins(0, 0, 0, 0);
    auto* left = new QVBoxLayout;
    columns->addLayout(left);

    // The curves: a path field with its Browse button each.
    auto* curves = new QGroupBox(tr("Impedance curves"), content());
    auto* curveGrid = new QGridLayout(curves);
    const auto addCurveRow = [&](const QString& label, QLineEdit*& field, QPushButton*& browse) {
        const int row = curveGrid->rowCount();
        field = new QLineEdit(curves);
        field->setMinimumWidth(fieldWidth(field, QStringLiteral("L16RNX_16_048g_242_27mV.zma")));
        browse = new QPushButton(tr("Browse..."), curves);
        auto* l = new QLabel(label, curves);
        l->setBuddy(field);
        curveGrid->addWidget(l, row, 0);
        curveGrid->addWidget(field, row, 1);
        curveGrid->addWidget(browse, row, 2);
    };
    addCurveRow(tr("Free air"), free_, freeBrowse_);
    addCurveRow(tr("Second curve"), second_, secondBrowse_);
    curveGrid->setColumnStretch(1, 1);
    left->addWidget(curves);

    // The method of the second curve and the cone area.
    auto* method = new QGroupBox(tr("Second curve taken with"), content());
    auto* methodGrid = formGrid(method, kWidestUnit);
    massButton_ = new QRadioButton(tr("Added mass"), method);
    boxButton_ = new QRadioButton(tr("Test box volume"), method);
    auto* group = new QButtonGroup(this);
    group->addButton(massButton_);
    group->addButton(boxButton_);
    massButton_->setChecked(true);
    mass_ = new TDblEdit(method, 101, "%3.3f", 0.0, kMaxMassGrams, -1.0, 10.0);
    volume_ = new TDblEdit(method, 102, "%3.2f", 0.0, kMaxVolumeLitres, -1.0, 20.0);
    const double sdCm2 = box_ && box_->front().Sd > 0.0 ? box_->front().Sd * 1e4 : 0.0;
    sd_ = new TDblEdit(method, 103, "%3.2f", 0.0, kMaxSdCm2, -1.0, std::min(sdCm2, kMaxSdCm2));
    for (TDblEdit* f : {mass_, volume_, sd_})
        f->setAlignment(Qt::AlignRight);
    const auto addRow = [&](QWidget* label, TDblEdit* field, const QString& unit,
                            const QString& description) {
        const int row = methodGrid->rowCount();
        methodGrid->addWidget(label, row, 0);
        field->setFixedWidth(fieldWidth(field, kWidestResult));
        methodGrid->addWidget(field, row, 1);
        methodGrid->addWidget(new QLabel(unit, method), row, 2);
        field->setDescription(description, unit);
    };
    addRow(massButton_, mass_, QStringLiteral("g"), tr("Added mass"));
    addRow(boxButton_, volume_, QStringLiteral("l"), tr("Test box volume"));
    auto* sdLabel = new QLabel(tr("Sd"), method);
    sdLabel->setBuddy(sd_);
    addRow(sdLabel, sd_, QStringLiteral("cm^2"), tr("Sd"));
    fitButton_ = new QPushButton(tr("&Fit"), method);
    methodGrid->addWidget(fitButton_, methodGrid->rowCount(), 1);
    left->addWidget(method);

    // The results, read-only.
    auto* results = new QGroupBox(tr("Fitted parameters"), content());
    auto* resultGrid = formGrid(results, kWidestUnit);
    const struct {
        Result r;
        const char* label;
        const char* unit;
    } rows[] = {
        {Fs, "fs", "Hz"},
        {Qms, "Qms", ""},
        {Qes, "Qes", ""},
        {Qts, "Qts", ""},
        {Re, "Re", "ohm"},
        {Le, "Le", "mH"},
        {Vas, "Vas", "l"},
        {Mms, "Mms", "g"},
        {Cms, "Cms", "mm/N"},
        {Bl, "Bl", "N/A"},
        {SemiInductance, "Semi-inductance", ""},
        {RmsError, "Rms error", "dB"},
    };
    for (const auto& row : rows) {
        auto* f = new QLineEdit(results);
        f->setReadOnly(true);
        f->setAlignment(Qt::AlignRight);
        f->setFocusPolicy(Qt::ClickFocus);
        results_[static_cast<std::size_t>(row.r)] = f;
        addFormRow(resultGrid, QString::fromUtf8(row.label), f, QString::fromUtf8(row.unit), kWidestResult);
    }
    left->addWidget(results);

    auto* buttons = new QHBoxLayout;
    save_ = new QPushButton(tr("&Save unit..."), content());
    load_ = new QPushButton(tr("&Load into project"), content());
    buttons->addWidget(save_);
    buttons->addWidget(load_);
    buttons->addStretch(1);
    left->addLayout(buttons);
    left->addStretch(1);

    diagram_.setLogX(true);
    diagram_.addCurve(nullptr, Pen{PenColor::Black, PenStyle::Thick}, "Measured");
    diagram_.addCurve(nullptr, Pen{PenColor::Red, PenStyle::Solid}, "Fitted");
    diagram_.addCurve(nullptr, Pen{PenColor::Blue, PenStyle::Solid}, "Second curve");
    diagram_.addCurve(nullptr, Pen{PenColor::Magenta, PenStyle::Dash}, "Second fitted");
    view_ = new DiagramView(&diagram_, content());
    view_->setMinimumSize(480, 360);
    columns->addWidget(view_, 1);

    connect(freeBrowse_, &QPushButton::clicked, this, &TTsFitDialog::browseFree);
    connect(secondBrowse_, &QPushButton::clicked, this, &TTsFitDialog::browseSecond);
    connect(fitButton_, &QPushButton::clicked, this, [this] { (void)fit(); });
    connect(save_, &QPushButton::clicked, this, [this] { (void)saveUnit(); });
    connect(load_, &QPushButton::clicked, this, [this] { (void)loadIntoProject(); });
    connect(massButton_, &QRadioButton::toggled, this, &TTsFitDialog::methodChanged);
    // A changed input makes the shown fit stale.
    for (QLineEdit* f : {free_, second_})
        connect(f, &QLineEdit::textChanged, this, [this] {
            fitted_ = false;
            updateButtons();
        });
    methodChanged();
    showResults();
}

// The view, a child, goes after the members: it must not keep the model it would outlive.
TTsFitDialog::~TTsFitDialog() {
    if (view_) view_->setModel(nullptr);
}

TTsFit::Input TTsFitDialog::input() const {
    TTsFit::Input in;
    in.freePath = free_->text().trimmed().toStdString();
    in.secondPath = second_->text().trimmed().toStdString();
    in.method = massButton_->isChecked() ? TTsFit::Method::AddedMass : TTsFit::Method::TestBox;
    in.addedMass = mass_->value() * 1e-3;
    in.boxVolume = volume_->value() * 1e-3;
    in.Sd = sd_->value() * 1e-4;
    return in;
}

void TTsFitDialog::methodChanged() {
    const bool mass = massButton_->isChecked();
    mass_->setEnabled(mass);
    volume_->setEnabled(!mass);
}

void TTsFitDialog::browseFree() {
    if (const std::optional<std::string> path = ui_.selectFile(curveSelector(), FileMode::Open))
        free_->setText(qs(*path));
}

void TTsFitDialog::browseSecond() {
    if (const std::optional<std::string> path = ui_.selectFile(curveSelector(), FileMode::Open))
        second_->setText(qs(*path));
}

bool TTsFitDialog::fit() {
    ui_.setWaitCursor(true);
    fitted_ = fit_.run(input());
    ui_.setWaitCursor(false);
    if (!fitted_) ui_.error(kCaption, fit_.message());
    showResults();
    return fitted_;
}

void TTsFitDialog::showResults() {
    const auto set = [this](Result r, const QString& text) { showFieldText(resultField(r), text); };
    if (!fitted_) {
        for (QLineEdit* f : results_)
            showFieldText(f, QString());
        diagram_.setPointCount(0);
        updateButtons();
        view_->update();
        return;
    }
    const TSpkData& u = fit_.unit();
    const TsImpedanceModel& m = fit_.freeFit().model;
    const auto num = [](const char* format, double v) { return qs(strprintf(format, v)); };
    set(Fs, num("%.2f", u.fs));
    set(Qms, num("%.3f", u.Qms));
    set(Qes, num("%.3f", u.Qes));
    set(Qts, num("%.3f", u.Qts));
    set(Re, num("%.3f", u.Re));
    set(Le, num("%.3f", u.Le * 1e3));
    set(Vas, num("%.2f", u.Vas * 1e3));
    set(Mms, num("%.2f", u.Mms * 1e3));
    set(Cms, num("%.4f", u.Cms * 1e3));
    set(Bl, num("%.3f", u.Bl));
    set(SemiInductance, m.hasSemiInductance() ? qs(strprintf("K %.5f, n %.3f", m.K, m.n)) : tr("not used"));
    set(RmsError, num("%.3f", fit_.freeFit().rmsDb));
    resultField(SemiInductance)
        ->setToolTip(m.hasSemiInductance()
                         ? qs(strprintf("K(jw)^n with K %.5g ohm*s^n, n %.3f, in series with Le %.3f mH", m.K,
                                        m.n, m.Le * 1e3))
                         : tr("The plain inductance fits as well"));

    // The curves on the free-air curve's frequencies.
    x_ = fit_.freeCurve().f;
    measured_ = magnitudeAt(fit_.freeCurve(), x_);
    fittedCurve_ = TTsFit::modelMagnitude(m, x_);
    secondCurve_ = magnitudeAt(fit_.secondCurve(), x_);
    secondFitted_ = TTsFit::modelMagnitude(fit_.secondFit().model, x_);
    diagram_.setX(x_.data());
    diagram_.setCurveData(0, measured_.data());
    diagram_.setCurveData(1, fittedCurve_.data());
    diagram_.setCurveData(2, secondCurve_.data());
    diagram_.setCurveData(3, secondFitted_.data());
    diagram_.setPointCount(static_cast<int>(x_.size()));
    updateButtons();
    view_->update();
}

void TTsFitDialog::updateButtons() {
    save_->setEnabled(fitted_);
    load_->setEnabled(fitted_ && box_ != nullptr);
}

bool TTsFitDialog::writeUnit(const std::string& path) {
    TSpkData unit = fit_.unit();
    if (unit.Save(path)) return true;
    ui_.error(kCaption, "The unit could not be written to " + path + ".\n" + unit.lastError());
    return false;
}

bool TTsFitDialog::saveUnit() {
    if (!fitted_) return false;
    const std::optional<std::string> path = ui_.selectFile(unitSelector(), FileMode::Save);
    return path && writeUnit(*path);
}

bool TTsFitDialog::loadIntoProject() {
    if (!fitted_ || !box_) return false;
    const std::optional<std::string> path = ui_.selectFile(unitSelector(), FileMode::Save);
    if (!path || !writeUnit(*path)) return false;
    return box_->LoadDriverUnitFile(*path);
}

} // namespace harlox
