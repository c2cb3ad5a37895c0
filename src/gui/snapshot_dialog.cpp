#include "gui/snapshot_dialog.h"

#include "core/ui_host.h"
#include "gui/diagram_renderer.h"
#include "gui/long_edit.h"
#include "gui/model_text.h"
#include "gui/snapshot_model.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <limits>

namespace harlox {

namespace {

constexpr const char* kSlotNames[TSnapshot::kSlotCount] = {"one", "two", "three", "four", "five"};
constexpr std::int32_t kNoValue = std::numeric_limits<std::int32_t>::min();

void showWhole(TLongEdit* f, std::int32_t v) {
    if (f->value() != v || f->text().isEmpty()) f->setValue(v);
}

void showText(QLineEdit* edit, const QString& text) {
    if (edit->text() != text) edit->setText(text);
}

QLabel* addRow(QGridLayout* grid, int row, const QString& label, QWidget* field, const QString& unit = {},
               int span = 1) {
    auto* l = new QLabel(label);
    l->setBuddy(field);
    grid->addWidget(l, row, 0);
    grid->addWidget(field, row, 1, 1, span);
    if (!unit.isEmpty()) grid->addWidget(new QLabel(unit), row, 2);
    return l;
}

} // namespace

QString snapshotCurveName(const TSnapshot& snapshot, int slot) {
    const SnapshotSlot& s = snapshotSlot(snapshot, slot);
    return s.text.empty() ? QStringLiteral("Snapshot %1").arg(slot + 1) : fromModelText(s.text);
}

void addSnapshotDrawing(const TSnapshot& snapshot, RenderOptions& o) {
    o.xRange = snapshot.xRange();
    o.yRange = snapshot.yRange();
    for (int i = 0; i < TSnapshot::kSlotCount; ++i) {
        const SnapshotSlot& s = snapshotSlot(snapshot, i);
        if (!s.visible) continue;
        ExtraCurve c;
        c.x = s.frequencies.data();
        c.y = s.levels.data();
        c.count = std::clamp<int>(s.pointCount, 0, kMaxPoints);
        c.offset = s.offset;
        c.pen = TSnapshot::kPens[static_cast<std::size_t>(i)];
        c.label = snapshotCurveName(snapshot, i);
        o.extraCurves.push_back(c);
    }
    const LegendTable table{TSnapshot::kLegendNumberX, TSnapshot::kLegendLineX0, TSnapshot::kLegendLineX1,
                            TSnapshot::kLegendTextX, TSnapshot::kLegendOffsetX};
    o.legendTable = table;
    // A curve without a text of its own is still named beside its pen, not by a bare number.
    for (const SnapshotLegendLine& l : snapshot.legend())
        o.legendRows.push_back(
            {fromModelText(l.number), l.pen, snapshotCurveName(snapshot, l.slot), fromModelText(l.offset)});
}

TSnapshotDialog::TSnapshotDialog(QWidget* parent, TSnapshot& snapshot, UiHost& ui, CurveSource freeAirSpl,
                                 CurveSource roomSpl)
    : TBaseDialog(parent, QString::fromUtf8(kHelpFile)), snapshot_(snapshot), ui_(ui),
      freeAirSpl_(std::move(freeAirSpl)), roomSpl_(std::move(roomSpl)) {
    setWindowTitle(QString::fromUtf8(kCaption));

    menuBar_ = new QMenuBar(content());
    menuBar_->setNativeMenuBar(false);
    QMenu* file = menuBar_->addMenu(QStringLiteral("&File"));
    save_ = file->addAction(QStringLiteral("&Save"));
    saveAs_ = file->addAction(QStringLiteral("Save &as..."));
    open_ = file->addAction(QStringLiteral("&Open..."));
    QMenu* copy = menuBar_->addMenu(QStringLiteral("&Copy from"));
    copyFreeAir_ = copy->addAction(QStringLiteral("&Free air SPL at 1m distance"));
    copyRoomCabinet_ = copy->addAction(QStringLiteral("SPL in &room && cabinet"));
    copyRoomCabinet_->setEnabled(static_cast<bool>(roomSpl_));
    for (const auto& [action, id] :
         {std::pair{save_, int(SaveCommand)}, std::pair{saveAs_, int(SaveAsCommand)},
          std::pair{open_, int(OpenCommand)}, std::pair{copyFreeAir_, int(CopyFreeAirCommand)},
          std::pair{copyRoomCabinet_, int(CopyRoomCabinetCommand)}}) {
        const int command = id;
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
    }

    QWidget* page = content();
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    // Inside the page, so that the dialog's full size counts it.
    column->setMenuBar(menuBar_);

    const int numberWidth = fontMetrics().horizontalAdvance(QStringLiteral("-000000")) + 12;
    const int textWidth = fontMetrics().averageCharWidth() * 34;

    auto* diagram = new QGroupBox(QStringLiteral("Diagram"), page);
    auto* dg = new QGridLayout(diagram);
    title_ = new QLineEdit(diagram);
    title_->setMaxLength(static_cast<int>(TSnapshot::kTitleSize) - 1);
    title_->setMinimumWidth(textWidth);
    range_ = new TLongEdit(diagram, RangeControl, "%d", 1, kMaxRange, kNoValue, snapshot_.range, 1);
    start_ = new TLongEdit(diagram, StartControl, "%d", 1, kMaxFrequency - kMinSpan, kNoValue,
                           snapshot_.startFrequency, 1);
    stop_ = new TLongEdit(diagram, StopControl, "%d", 1 + kMinSpan, kMaxFrequency, kNoValue,
                          snapshot_.stopFrequency, 1);
    hideNumbers_ = new QCheckBox(QStringLiteral("Hide &numbers"), diagram);
    addRow(dg, 0, QStringLiteral("&Title"), title_, {}, 3);
    addRow(dg, 1, QStringLiteral("&Range"), range_, QStringLiteral("dB"));
    dg->addWidget(hideNumbers_, 1, 3);
    addRow(dg, 2, QStringLiteral("St&art frequency"), start_, QStringLiteral("Hz"));
    addRow(dg, 3, QStringLiteral("Sto&p frequency"), stop_, QStringLiteral("Hz"));
    column->addWidget(diagram);

    auto* curve = new QGroupBox(QStringLiteral("Curve"), page);
    auto* cg = new QGridLayout(curve);
    slot_ = new QComboBox(curve);
    for (const char* name : kSlotNames)
        slot_->addItem(QString::fromUtf8(name));
    offset_ = new TLongEdit(curve, OffsetControl, "%d", -kMaxOffset, kMaxOffset, kNoValue, 0, 1);
    text_ = new QLineEdit(curve);
    text_->setMaxLength(static_cast<int>(TSnapshot::kTextSize) - 1);
    text_->setMinimumWidth(textWidth);
    hide_ = new QCheckBox(QStringLiteral("&Hide"), curve);
    // The list reaches into the unit column, so the number fields of both groups line up.
    addRow(cg, 0, QStringLiteral("&Snapshot"), slot_, {}, 2);
    addRow(cg, 1, QStringLiteral("&Offset"), offset_, QStringLiteral("dB"));
    cg->addWidget(hide_, 1, 3);
    addRow(cg, 2, QStringLiteral("Te&xt"), text_, {}, 3);
    column->addWidget(curve);

    // Both groups share their column widths, so the fields line up.
    int labelWidth = 0;
    for (QGridLayout* g : {dg, cg}) {
        for (int r = 0; r < g->rowCount(); ++r) {
            if (QLayoutItem* item = g->itemAtPosition(r, 0); item && item->widget())
                labelWidth = std::max(labelWidth, item->widget()->sizeHint().width());
        }
    }
    for (QGridLayout* g : {dg, cg}) {
        g->setColumnMinimumWidth(0, labelWidth);
        g->setColumnMinimumWidth(2, fontMetrics().horizontalAdvance(QStringLiteral("Hz")) + 6);
        g->setColumnStretch(3, 1);
    }
    for (TLongEdit* f : {range_, start_, stop_, offset_}) {
        f->setFixedWidth(numberWidth);
        f->setAlignment(Qt::AlignRight);
        connect(f, &TEntryEdit::changed, this, &TSnapshotDialog::fieldChanged);
    }
    slot_->setFixedWidth(numberWidth + fontMetrics().horizontalAdvance(QStringLiteral("000")));

    setTabOrder(title_, range_);
    setTabOrder(range_, hideNumbers_);
    setTabOrder(hideNumbers_, start_);
    setTabOrder(start_, stop_);
    setTabOrder(stop_, slot_);
    setTabOrder(slot_, offset_);
    setTabOrder(offset_, hide_);
    setTabOrder(hide_, text_);

    connect(title_, &QLineEdit::textEdited, this, [this](const QString& t) {
        snapshot_.setTitle(toModelText(t, TSnapshot::kTitleSize - 1));
        redraw();
    });
    connect(text_, &QLineEdit::textEdited, this, [this](const QString& t) {
        snapshot_.current().text = toModelText(t, TSnapshot::kTextSize - 1);
        redraw();
    });
    connect(hideNumbers_, &QCheckBox::clicked, this, [this](bool on) {
        snapshot_.hideNumbers = on ? 1 : 0;
        redraw();
    });
    connect(hide_, &QCheckBox::clicked, this, [this](bool on) {
        snapshot_.current().visible = on ? 0 : 1;
        redraw();
    });
    connect(slot_, &QComboBox::currentIndexChanged, this, &TSnapshotDialog::slotSelected);

    if (snapshot_.dialogX != 0) move(snapshot_.dialogX, snapshot_.dialogY);
    connect(this, &QDialog::finished, this, [this] {
        snapshot_.dialogX = static_cast<std::int16_t>(std::clamp(pos().x(), -32768, 32767));
        snapshot_.dialogY = static_cast<std::int16_t>(std::clamp(pos().y(), -32768, 32767));
        redraw();
    });

    refresh();
}

QAction* TSnapshotDialog::commandAction(int id) const {
    switch (id) {
    case OpenCommand:
        return open_;
    case SaveCommand:
        return save_;
    case SaveAsCommand:
        return saveAs_;
    case CopyFreeAirCommand:
        return copyFreeAir_;
    case CopyRoomCabinetCommand:
        return copyRoomCabinet_;
    default:
        return nullptr;
    }
}

void TSnapshotDialog::refresh() {
    const QSignalBlocker b1(title_), b2(text_), b3(hideNumbers_), b4(hide_), b5(slot_);
    showText(title_, fromModelText(snapshot_.title()));
    showWhole(range_, snapshot_.range);
    hideNumbers_->setChecked(snapshot_.hideNumbers != 0);
    showWhole(start_, snapshot_.startFrequency);
    showWhole(stop_, snapshot_.stopFrequency);
    // A file may hold frequencies beyond what can be typed; the limits make room for them.
    start_->setMaximum(std::max(1, snapshot_.stopFrequency - kMinSpan));
    stop_->setMinimum(snapshot_.startFrequency + kMinSpan);
    stop_->setMaximum(std::max(kMaxFrequency, snapshot_.stopFrequency));

    slot_->setCurrentIndex(snapshot_.currentSlot());
    const SnapshotSlot& s = snapshot_.current();
    showWhole(offset_, s.offset);
    showText(text_, fromModelText(s.text));
    hide_->setEnabled(s.used != 0);
    hide_->setChecked(s.used != 0 && s.visible == 0);
}

void TSnapshotDialog::fieldChanged(int id) {
    switch (id) {
    case RangeControl:
        snapshot_.range = range_->value();
        break;
    case StartControl:
        snapshot_.startFrequency = start_->value();
        stop_->setMinimum(snapshot_.startFrequency + kMinSpan);
        break;
    case StopControl:
        snapshot_.stopFrequency = stop_->value();
        start_->setMaximum(std::max(1, snapshot_.stopFrequency - kMinSpan));
        break;
    case OffsetControl:
        snapshot_.current().offset = static_cast<std::int16_t>(offset_->value());
        break;
    default:
        return;
    }
    redraw();
}

void TSnapshotDialog::slotSelected(int index) {
    snapshot_.setCurrentSlot(index);
    refresh();
}

void TSnapshotDialog::copyCurve(const CurveSource& source) {
    const std::optional<Curve> curve = source ? source() : std::nullopt;
    if (!curve) {
        ui_.beep();
        return;
    }
    snapshot_.CopyToCurrentSlot(curve->frequencies, curve->levels);
    refresh();
    redraw();
}

void TSnapshotDialog::runCommand(int id) {
    QAction* action = commandAction(id);
    if (!action || !action->isEnabled()) return;
    switch (id) {
    case SaveCommand:
        (void)snapshot_.Save();
        break;
    case SaveAsCommand:
        (void)snapshot_.SaveAs();
        break;
    case OpenCommand:
        (void)snapshot_.Open();
        break;
    case CopyFreeAirCommand:
        copyCurve(freeAirSpl_);
        return;
    case CopyRoomCabinetCommand:
        copyCurve(roomSpl_);
        return;
    default:
        return;
    }
    refresh();
    redraw();
}

void TSnapshotDialog::redraw() {
    ui_.repaint();
}

} // namespace harlox
