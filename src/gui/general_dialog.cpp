#include "gui/general_dialog.h"

#include "core/ui_host.h"
#include "gui/form_rows.h"
#include "gui/model_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <utility>

namespace harlox {

namespace {

const QString kWidest = QStringLiteral("-0000.0");


// The list texts are the program's own, padded as they are.
constexpr std::pair<const char*, int> kLowerFrequencies[] = {
    {"  10", 10}, {"  20", 20}, {"  50", 50}, {" 100", 100}, {" 200", 200}, {" 500", 500}, {"1000", 1000}};
constexpr std::pair<const char*, int> kUpperFrequencies[] = {
    {" 2000", 2000}, {" 5000", 5000}, {"10000", 10000}, {"20000", 20000}};
constexpr int kPoints[] = {128, 256, 512, 1024, 2048, 4096};
constexpr int kSampleRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
// +40 is not offered.
constexpr int kPickAngles[] = {60,  50,  45,  35,  30,  25,  20,  15,  12,  10,  7,   5,   2,   1,  -1,
                               -2,  -5,  -7,  -10, -12, -15, -20, -25, -30, -35, -40, -45, -50, -60};

QString angleText(int angle) {
    return QString::asprintf("%+d", angle);
}

// Selects the entry with this value. A value the list does not offer (from an older file)
// is added, so the dialog never shows a setting other than the one in use.
void selectValue(QComboBox* list, int value) {
    int at = list->findData(value);
    if (at < 0) {
        at = 0;
        while (at < list->count() && list->itemData(at).toInt() < value) ++at;
        list->insertItem(at, QString::number(value), value);
    }
    const QSignalBlocker block(list);
    list->setCurrentIndex(at);
}

void fillAngles(QListWidget* list, int count, int (TGeneral::*angle)(int) const, const TGeneral& g) {
    const QString current = list->currentItem() ? list->currentItem()->text() : QString();
    const int row = list->currentRow();
    const QSignalBlocker block(list);
    list->clear();
    for (int k = 0; k < count; ++k) {
        auto* item = new QListWidgetItem(angleText((g.*angle)(k)), list);
        item->setData(Qt::UserRole, (g.*angle)(k));
    }
    const QList<QListWidgetItem*> same = list->findItems(current, Qt::MatchExactly);
    if (!same.isEmpty()) {
        list->setCurrentItem(same.front());
    } else if (count > 0) {
        list->setCurrentRow(std::clamp(row, 0, count - 1));
    }
}

std::int16_t toI16(int v) {
    return static_cast<std::int16_t>(
        std::clamp(v, int(std::numeric_limits<std::int16_t>::min()), int(std::numeric_limits<std::int16_t>::max())));
}

QListWidget* rayList(QWidget* parent, const QString& name) {
    auto* l = new QListWidget(parent);
    l->setObjectName(name);
    l->setFixedWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("-000")) + 44);
    l->setMinimumHeight(l->fontMetrics().lineSpacing() * 12);
    return l;
}

// The rows of the left column: a name, a sub-label ("Max"), the field, then its unit and
// its switch in one cell of the same width in every group, so the fields line up.
class RowGrid {
public:
    explicit RowGrid(QGroupBox* box)
        : box_(box), grid_(new QGridLayout(box)),
          unitWidth_(box->fontMetrics().horizontalAdvance(QStringLiteral("ohm")) + 4),
          toggleWidth_(QCheckBox(QStringLiteral("Infinite")).sizeHint().width()) {
        grid_->setColumnStretch(0, 1);
    }
    void add(const QString& name, const QString& label, QWidget* field, const QString& unit,
             QWidget* toggle = nullptr) {
        const int r = grid_->rowCount();
        for (const auto& [text, column] : {std::pair{name, 0}, std::pair{label, 1}}) {
            if (text.isEmpty()) continue;
            auto* l = new QLabel(text, box_);
            l->setBuddy(field);
            grid_->addWidget(l, r, column);
        }
        if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->setAlignment(Qt::AlignRight);
        grid_->addWidget(field, r, 2);
        auto* tail = new QHBoxLayout;
        auto* u = new QLabel(unit, box_);
        u->setFixedWidth(unitWidth_);
        tail->addWidget(u);
        // A blank stands in for a missing switch, so the spacing stays the same too.
        QWidget* last = toggle ? toggle : new QWidget(box_);
        last->setFixedWidth(toggleWidth_);
        tail->addWidget(last);
        grid_->addLayout(tail, r, 3);
    }
    void addWide(QWidget* w) { grid_->addWidget(w, grid_->rowCount(), 0, 1, 4); }

private:
    QGroupBox* box_;
    QGridLayout* grid_;
    int unitWidth_;
    int toggleWidth_;
};

} // namespace

TGeneralDialog::TGeneralDialog(QWidget* parent, TGeneral& general, UiHost& ui, std::function<void()> changed)
    : TBaseDialog(parent, QString::fromLatin1(TGeneral::kHelpFile)), general_(general), ui_(ui),
      changed_(std::move(changed)) {
    setWindowTitle(QString::fromLatin1(kCaption));

    QWidget* page = content();
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* columns = new QHBoxLayout;
    outer->addLayout(columns);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);

    // Created in tab order: left column top down, then the rays, then the title.
    buildFrequencyGroup(page, left);
    buildScalingGroup(page, left);
    left->addStretch(1);
    buildRayGroup(page, right);

    auto* titleBox = new QGroupBox(QStringLiteral("Title of construction"), page);
    auto* titleRow = new QHBoxLayout(titleBox);
    title_ = new QLineEdit(titleBox);
    title_->setObjectName(QStringLiteral("title"));
    title_->setMaxLength(static_cast<int>(TGeneral::kTitleSize) - 1);
    titleRow->addWidget(title_);
    outer->addWidget(titleBox);
    connect(title_, &QLineEdit::editingFinished, this, &TGeneralDialog::titleEdited);

    for (TEntryEdit* f : std::initializer_list<TEntryEdit*>{gdMax_, gdMin_, impedanceMax_, splRange_, distance_})
        connect(f, &TEntryEdit::changed, this, &TGeneralDialog::fieldChanged);
    for (QComboBox* list : {lower_, upper_, points_, sampleRate_})
        connect(list, &QComboBox::activated, this, [this, list] { listChosen(list); });
    for (const SwitchBinding& s : switches_) {
        connect(s.box, &QCheckBox::clicked, this, [this, s](bool on) {
            *s.value = on ? 1 : 0;
            refreshRanges();
            notify();
        });
    }

    if (general_.dialogPlaced) move(general_.dialogX, general_.dialogY);
    connect(this, &QDialog::finished, this, [this] {
        general_.dialogPlaced = true;
        general_.dialogX = toI16(pos().x());
        general_.dialogY = toI16(pos().y());
    });

    refresh();
}

void TGeneralDialog::buildFrequencyGroup(QWidget* page, QVBoxLayout* column) {
    const QString hz = QStringLiteral("Hz");
    auto* display = new QGroupBox(QStringLiteral("Display frequency response"), page);
    RowGrid dg(display);
    lower_ = new QComboBox(display);
    upper_ = new QComboBox(display);
    for (const auto& [text, value] : kLowerFrequencies)
        lower_->addItem(QString::fromLatin1(text), value);
    for (const auto& [text, value] : kUpperFrequencies)
        upper_->addItem(QString::fromLatin1(text), value);
    dg.add(QStringLiteral("Lower freq."), QString(), lower_, hz);
    dg.add(QStringLiteral("Upper freq."), QString(), upper_, hz);
    column->addWidget(display);

    auto* ifft = new QGroupBox(QStringLiteral("IFFT (impulse response)"), page);
    RowGrid ig(ifft);
    points_ = new QComboBox(ifft);
    sampleRate_ = new QComboBox(ifft);
    for (int n : kPoints)
        points_->addItem(QString::number(n), n);
    for (int fs : kSampleRates)
        sampleRate_->addItem(QString::number(fs), fs);
    ig.add(QStringLiteral("# points"), QString(), points_, QString());
    ig.add(QStringLiteral("Sample rate"), QString(), sampleRate_, hz);
    disableIfft_ = addSwitch(ifft, QStringLiteral("Disable IFFT"), &general_.disableIfft);
    ig.addWide(disableIfft_);
    column->addWidget(ifft);
}

void TGeneralDialog::buildScalingGroup(QWidget* page, QVBoxLayout* column) {
    auto* scaling = new QGroupBox(QStringLiteral("Diagram scaling"), page);
    RowGrid sg(scaling);
    gdMax_ = new TSwitchableDblEdit(scaling, GdMaxField, "%2.1f", kMinGroupDelay, kMaxGroupDelay, HUGE_VAL,
                                    general_.gdMax);
    gdMin_ = new TSwitchableDblEdit(scaling, GdMinField, "%2.1f", kMinGroupDelay, kMaxGroupDelay, HUGE_VAL,
                                    general_.gdMin);
    gdAuto_ = addSwitch(scaling, QStringLiteral("Auto"), &general_.gdAuto);
    impedanceMax_ = new TSwitchableLongEdit(scaling, ImpedanceMaxField, "%d", kMinImpedance, kMaxImpedance, -1,
                                            general_.impedanceMax, 1);
    impedanceAuto_ = addSwitch(scaling, QStringLiteral("Auto"), &general_.impedanceAuto);
    splRange_ = new TLongEdit(scaling, SplRangeField, "%d", kMinSplRange, kMaxSplRange, -1, general_.splRange, 1);
    sg.add(QStringLiteral("Group delay"), QStringLiteral("Max"), gdMax_, QStringLiteral("ms"), gdAuto_);
    sg.add(QString(), QStringLiteral("Min"), gdMin_, QStringLiteral("ms"));
    sg.add(QStringLiteral("Impedance"), QStringLiteral("Max"), impedanceMax_, QStringLiteral("ohm"), impedanceAuto_);
    sg.add(QStringLiteral("SPL/gain"), QStringLiteral("Range"), splRange_, QStringLiteral("dB"));
    column->addWidget(scaling);

    auto* distance = new QGroupBox(QStringLiteral("Measurement distance"), page);
    RowGrid mg(distance);
    distance_ = new TSwitchableDblEdit(distance, DistanceField, "%2.2f", kMinDistance, kMaxDistance, -1.0,
                                       general_.distance);
    infinite_ = addSwitch(distance, QStringLiteral("Infinite"), &general_.infinite);
    mg.add(QString(), QString(), distance_, QStringLiteral("m"), infinite_);
    column->addWidget(distance);

    // Every list and field of the column as wide as the widest, so that they line up.
    const std::initializer_list<QWidget*> fields{lower_, upper_, points_, sampleRate_, gdMax_,
                                                 gdMin_, impedanceMax_, splRange_, distance_};
    int width = fieldWidth(gdMax_, kWidest);
    for (QComboBox* list : {lower_, upper_, points_, sampleRate_})
        width = std::max(width, list->sizeHint().width());
    for (QWidget* f : fields)
        f->setFixedWidth(width);
}

void TGeneralDialog::buildRayGroup(QWidget* page, QVBoxLayout* column) {
    auto* rays = new QGroupBox(QStringLiteral("Off axis plots"), page);
    auto* grid = new QGridLayout(rays);
    pick_ = rayList(rays, QStringLiteral("pickList"));
    for (int a : kPickAngles) {
        auto* item = new QListWidgetItem(angleText(a), pick_);
        item->setData(Qt::UserRole, a);
    }
    pick_->setCurrentRow(0);
    surface_ = rayList(rays, QStringLiteral("surfaceList"));
    overlay_ = rayList(rays, QStringLiteral("overlayList"));

    const auto buttons = [&](QPushButton*& add, QPushButton*& remove) {
        auto* box = new QVBoxLayout;
        add = new QPushButton(QStringLiteral("Add -->"), rays);
        remove = new QPushButton(QStringLiteral("Remove"), rays);
        for (QPushButton* b : {add, remove}) {
            b->setAutoDefault(false);
            box->addWidget(b);
        }
        box->addStretch(1);
        return box;
    };
    grid->addWidget(new QLabel(QStringLiteral("Angles"), rays), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Surface plot"), rays), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Overlay plot"), rays), 0, 4);
    grid->addWidget(pick_, 1, 0);
    grid->addLayout(buttons(surfaceAdd_, surfaceRemove_), 1, 1);
    grid->addWidget(surface_, 1, 2);
    grid->addLayout(buttons(overlayAdd_, overlayRemove_), 1, 3);
    grid->addWidget(overlay_, 1, 4);

    auto* options = new QHBoxLayout;
    flip_ = addSwitch(rays, QStringLiteral("Flip up/down"), &general_.flip);
    hideOnAxis_ = addSwitch(rays, QStringLiteral("Hide on axis plot"), &general_.hideOnAxis);
    inhibit_ = addSwitch(rays, QStringLiteral("Inhibit"), &general_.inhibit);
    for (QCheckBox* b : {flip_, hideOnAxis_, inhibit_})
        options->addWidget(b);
    options->addStretch(1);
    grid->addLayout(options, 2, 0, 1, 5);
    column->addWidget(rays);

    connect(surfaceAdd_, &QPushButton::clicked, this, &TGeneralDialog::addSurface);
    connect(surfaceRemove_, &QPushButton::clicked, this, &TGeneralDialog::removeSurface);
    connect(overlayAdd_, &QPushButton::clicked, this, &TGeneralDialog::addOverlay);
    connect(overlayRemove_, &QPushButton::clicked, this, &TGeneralDialog::removeOverlay);
    connect(pick_, &QListWidget::itemDoubleClicked, this, &TGeneralDialog::addSurface);
}

QCheckBox* TGeneralDialog::addSwitch(QWidget* parent, const QString& label, std::uint8_t* value) {
    auto* box = new QCheckBox(label, parent);
    switches_.push_back({box, value});
    return box;
}

void TGeneralDialog::refresh() {
    selectValue(lower_, general_.lowerFrequency);
    selectValue(upper_, general_.upperFrequency);
    selectValue(points_, general_.ifftSize() / 2);
    selectValue(sampleRate_, general_.sampleRate());
    for (const SwitchBinding& s : switches_) {
        const QSignalBlocker block(s.box);
        s.box->setChecked(*s.value != 0);
    }
    gdMax_->setValue(general_.gdMax);
    gdMin_->setValue(general_.gdMin);
    impedanceMax_->setValue(general_.impedanceMax);
    splRange_->setValue(general_.splRange);
    distance_->setValue(general_.distance);
    const QString title = fromModelText(general_.title());
    if (title_->text() != title) title_->setText(title);
    refreshRanges();
    refreshRays();
}

void TGeneralDialog::refreshRanges() {
    // Max stays above Min, so the diagram always has a height.
    gdMax_->setMinimum(std::max(kMinGroupDelay, general_.gdMin + kMinGdSpan));
    gdMin_->setMaximum(std::min(kMaxGroupDelay, general_.gdMax - kMinGdSpan));
    gdMax_->setAutomatic(general_.gdAuto != 0);
    gdMin_->setAutomatic(general_.gdAuto != 0);
    impedanceMax_->setAutomatic(general_.impedanceAuto != 0);
    distance_->setAutomatic(general_.infinite != 0);
}

void TGeneralDialog::refreshRays() {
    fillAngles(surface_, general_.surfaceCount(), &TGeneral::surfaceAngle, general_);
    fillAngles(overlay_, general_.overlayCount(), &TGeneral::overlayAngle, general_);
}

void TGeneralDialog::listChosen(QComboBox* list) {
    const int v = list->currentData().toInt();
    bool done = false;
    if (list == lower_ && v != general_.lowerFrequency) {
        general_.lowerFrequency = toI16(v);
        done = true;
    } else if (list == upper_ && v != general_.upperFrequency) {
        general_.upperFrequency = toI16(v);
        done = true;
    } else if (list == points_ && 2 * v != general_.ifftSize()) {
        done = general_.setIfft(2 * v, general_.sampleRate());
    } else if (list == sampleRate_ && v != general_.sampleRate()) {
        done = general_.setIfft(general_.ifftSize(), v);
    }
    if (done) notify();
}

void TGeneralDialog::fieldChanged(int id) {
    bool done = false;
    const auto take = [&done](auto& target, auto value) {
        if (target == value) return;
        target = value;
        done = true;
    };
    switch (id) {
    case GdMaxField: take(general_.gdMax, gdMax_->value()); break;
    case GdMinField: take(general_.gdMin, gdMin_->value()); break;
    case ImpedanceMaxField: take(general_.impedanceMax, toI16(impedanceMax_->value())); break;
    case SplRangeField: take(general_.splRange, toI16(splRange_->value())); break;
    case DistanceField: take(general_.distance, distance_->value()); break;
    default: break;
    }
    if (!done) return;
    refreshRanges();
    notify();
}

void TGeneralDialog::titleEdited() {
    const std::string text = toModelText(title_->text(), TGeneral::kTitleSize - 1);
    if (text == general_.title()) return;
    general_.setTitle(text);
    notify();
}

bool TGeneralDialog::rayEdited(TGeneral::RayEdit result, bool overlay) {
    if (const char* text = TGeneral::rayEditMessage(result, overlay)) {
        ui_.error("", text);
        return false;
    }
    if (result != TGeneral::RayEdit::Changed) return false;
    refreshRays();
    notify();
    return true;
}

void TGeneralDialog::addSurface() {
    const QListWidgetItem* item = pick_->currentItem();
    if (!item) return;
    const int angle = item->data(Qt::UserRole).toInt();
    if (rayEdited(general_.addSurfaceRay(angle), false)) surface_->setCurrentRow(general_.surfaceIndexOf(angle));
}

void TGeneralDialog::removeSurface() {
    const QListWidgetItem* item = surface_->currentItem();
    if (!item) return;
    const int row = surface_->currentRow();
    if (rayEdited(general_.removeSurfaceRay(item->data(Qt::UserRole).toInt()), false))
        surface_->setCurrentRow(std::min(row, surface_->count() - 1));
}

void TGeneralDialog::addOverlay() {
    const QListWidgetItem* item = surface_->currentItem();
    if (!item) return;
    if (rayEdited(general_.addOverlayRay(item->data(Qt::UserRole).toInt()), true))
        overlay_->setCurrentRow(overlay_->count() - 1);
}

void TGeneralDialog::removeOverlay() {
    const QListWidgetItem* item = overlay_->currentItem();
    if (!item) return;
    const int row = overlay_->currentRow();
    if (rayEdited(general_.removeOverlayRay(item->data(Qt::UserRole).toInt()), true))
        overlay_->setCurrentRow(std::min(row, overlay_->count() - 1));
}

void TGeneralDialog::notify() {
    if (changed_) changed_();
}

} // namespace harlox
