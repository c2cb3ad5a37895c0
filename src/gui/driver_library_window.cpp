#include "gui/driver_library_window.h"

#include "box/box_embryo.h"
#include "core/format.h"
#include "core/program_dir.h"
#include "driver/unit_completion.h"
#include "gui/dbl_edit.h"
#include "gui/model_text.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <filesystem>
#include <limits>

namespace harlox {

namespace {

// How each filtered parameter is shown: the editor's field, and the top of its max field,
// which means "no limit".
struct FilterInfo {
    LibraryField field;
    UnitField unitField;
    const char* label;
    double top;
};
constexpr FilterInfo kFilters[kLibraryFieldCount] = {
    {LibraryField::fs, UnitField::fs, "fs", 20000.0},     {LibraryField::Qts, UnitField::Qts, "Qts", 100.0},
    {LibraryField::Vas, UnitField::Vas, "Vas", 10000.0},  {LibraryField::Sd, UnitField::Sd, "Sd", 10000.0},
    {LibraryField::Xmax, UnitField::Xmax, "Xmax", 100.0},
};

constexpr int kEntryRole = Qt::UserRole + 1;
constexpr int kSortRole = Qt::UserRole + 2;
constexpr int kMaxListedRefusals = 15;

QString withUnit(const UnitFieldInfo& info) {
    const QString label = QString::fromLatin1(info.label);
    return std::string_view(info.unit) == "-"
               ? label
               : label + QStringLiteral(" [") + QString::fromLatin1(info.unit) + QLatin1Char(']');
}

// Sorts by the stored number, so 9 comes before 10 and drivers without the value go first.
class NumberItem : public QTableWidgetItem {
public:
    NumberItem(double shown, const char* format)
        : QTableWidgetItem(shown == 0.0 ? QString() : QString::fromStdString(strprintf(format, shown))) {
        setData(kSortRole, shown);
        setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    bool operator<(const QTableWidgetItem& other) const override {
        return data(kSortRole).toDouble() < other.data(kSortRole).toDouble();
    }
};

} // namespace

TDriverLibraryWindow::TDriverLibraryWindow(QWidget* parent, UiHost& ui, TBoxEmbryo* box)
    : TBaseDialog(parent, QString::fromLatin1(kHelpFile), HelpButton), ui_(ui), box_(box) {
    setWindowTitle(QString::fromLatin1(kCaption));
    tableSelector_.filter = kTableFilter;
    tableSelector_.defaultExtension = "csv";
    unitSelector_.filter = kUnitFileFilter;
    unitSelector_.defaultExtension = kUnitFileExtension;

    auto* layout = new QVBoxLayout(content());
    auto* searchRow = new QHBoxLayout;
    auto* searchLabel = new QLabel(tr("&Search:"));
    search_ = new QLineEdit;
    search_->setPlaceholderText(tr("manufacturer or model"));
    search_->setClearButtonEnabled(true);
    searchLabel->setBuddy(search_);
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(search_, 1);
    layout->addLayout(searchRow);

    auto* ranges = new QGroupBox(tr("Ranges"));
    auto* grid = new QGridLayout(ranges);
    grid->addWidget(new QLabel(tr("min")), 0, 1, Qt::AlignHCenter);
    grid->addWidget(new QLabel(tr("max")), 0, 2, Qt::AlignHCenter);
    for (std::size_t i = 0; i < kLibraryFieldCount; ++i) {
        const FilterInfo& f = kFilters[i];
        const UnitFieldInfo& info = unitFieldInfo(f.unitField);
        const int row = static_cast<int>(i) + 1;
        min_[i] = new TDblEdit(ranges, 2 * row, "%g", 0.0, f.top, -1.0, 0.0);
        max_[i] = new TDblEdit(ranges, 2 * row + 1, "%g", 0.0, f.top, -1.0, f.top);
        for (TDblEdit* e : {min_[i], max_[i]}) {
            e->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000.00")));
            connect(e, &TEntryEdit::changed, this, &TDriverLibraryWindow::applyFilter);
        }
        auto* label = new QLabel(withUnit(info));
        label->setBuddy(min_[i]);
        grid->addWidget(label, row, 0);
        grid->addWidget(min_[i], row, 1);
        grid->addWidget(max_[i], row, 2);
    }

    table_ = new QTableWidget(0, 7);
    QStringList headers{tr("Manufacturer"), tr("Model")};
    for (const FilterInfo& f : kFilters)
        headers << withUnit(unitFieldInfo(f.unitField));
    table_->setHorizontalHeaderLabels(headers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    const int x = fontMetrics().horizontalAdvance(QLatin1Char('x'));
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(ModelColumn, QHeaderView::Stretch);
    header->setMinimumSectionSize(6 * x);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setSortingEnabled(true);
    table_->setMinimumSize(x * 100, fontMetrics().height() * 22);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &TDriverLibraryWindow::updateButtons);
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { loadIntoProject(); });

    auto* middle = new QHBoxLayout;
    auto* side = new QVBoxLayout;
    side->addWidget(ranges);
    side->addStretch(1);
    middle->addLayout(side);
    middle->addWidget(table_, 1);
    layout->addLayout(middle, 1);

    auto* buttons = new QHBoxLayout;
    count_ = new QLabel;
    import_ = new QPushButton(tr("&Import..."));
    load_ = new QPushButton(tr("&Load into project"));
    close_ = new QPushButton(tr("Close"));
    buttons->addWidget(count_, 1);
    buttons->addWidget(import_);
    buttons->addWidget(load_);
    buttons->addWidget(close_);
    layout->addLayout(buttons);
    connect(import_, &QPushButton::clicked, this, &TDriverLibraryWindow::importTable);
    connect(load_, &QPushButton::clicked, this, &TDriverLibraryWindow::loadIntoProject);
    connect(close_, &QPushButton::clicked, this, &TBaseDialog::cancelCommand);
    connect(search_, &QLineEdit::textChanged, this, &TDriverLibraryWindow::applyFilter);

    // The shipped tables are ours: a problem in them is not the user's to read about.
    (void)library_.load(programPath("examples/drivers"));
    table_->sortByColumn(ManufacturerColumn, Qt::AscendingOrder);
    applyFilter();
}

int TDriverLibraryWindow::entryAt(int row) const {
    const QTableWidgetItem* item = table_->item(row, ManufacturerColumn);
    return item ? item->data(kEntryRole).toInt() : -1;
}

void TDriverLibraryWindow::applyFilter() {
    filter_.text = search_->text().toStdString();
    for (std::size_t i = 0; i < kLibraryFieldCount; ++i) {
        const double toSi = unitFieldInfo(kFilters[i].unitField).toSi;
        TDriverFilter::Range& r = filter_.ranges[i];
        r.min = min_[i]->value() * toSi;
        r.max = max_[i]->value() >= kFilters[i].top ? std::numeric_limits<double>::infinity()
                                                    : max_[i]->value() * toSi;
    }
    fillTable();
}

void TDriverLibraryWindow::fillTable() {
    const int selected = table_->currentRow() >= 0 ? entryAt(table_->currentRow()) : -1;
    const std::vector<std::size_t> hits = library_.search(filter_);
    table_->setSortingEnabled(false);
    table_->clearContents();
    table_->setRowCount(static_cast<int>(hits.size()));
    int reselect = -1;
    for (int row = 0; row < static_cast<int>(hits.size()); ++row) {
        const std::size_t index = hits[static_cast<std::size_t>(row)];
        const TSpkData& u = library_.entries()[index].unit;
        auto* maker = new QTableWidgetItem(fromModelText(u.manufacturerText()));
        maker->setData(kEntryRole, static_cast<int>(index));
        maker->setToolTip(fromModelText(library_.entries()[index].source));
        table_->setItem(row, ManufacturerColumn, maker);
        auto* model = new QTableWidgetItem(fromModelText(u.modelText()));
        model->setToolTip(model->text());
        table_->setItem(row, ModelColumn, model);
        for (std::size_t i = 0; i < kLibraryFieldCount; ++i) {
            const UnitFieldInfo& info = unitFieldInfo(kFilters[i].unitField);
            table_->setItem(row, FsColumn + static_cast<int>(i),
                            new NumberItem(unitFieldShown(u, kFilters[i].unitField), info.format));
        }
        if (static_cast<int>(index) == selected) reselect = row;
    }
    table_->setSortingEnabled(true);
    if (reselect >= 0) {
        for (int row = 0; row < table_->rowCount(); ++row) {
            if (entryAt(row) == selected) table_->selectRow(row);
        }
    }
    count_->setText(tr("%1 of %2 drivers").arg(hits.size()).arg(library_.entries().size()));
    updateButtons();
}

void TDriverLibraryWindow::updateButtons() {
    load_->setEnabled(box_ != nullptr && !table_->selectedItems().isEmpty());
}

void TDriverLibraryWindow::importTable() {
    const std::optional<std::string> path = ui_.selectFile(tableSelector_, FileMode::Open);
    if (!path) return;
    const std::size_t entriesBefore = library_.entries().size();
    const std::size_t refusedBefore = library_.refused().size();
    const std::size_t ignoredBefore = library_.ignoredColumns().size();
    if (!library_.load(*path)) {
        ui_.error(kCaption, library_.lastError());
        return;
    }
    const std::size_t added = library_.entries().size() - entriesBefore;
    const std::size_t refused = library_.refused().size() - refusedBefore;
    std::string text =
        strprintf("%zu %s imported, %zu refused.", added, added == 1 ? "driver" : "drivers", refused);
    for (std::size_t i = 0; i < refused && i < kMaxListedRefusals; ++i)
        text += "\n" + library_.refused()[refusedBefore + i].text();
    if (refused > kMaxListedRefusals) text += strprintf("\n... and %zu more", refused - kMaxListedRefusals);
    if (library_.ignoredColumns().size() > ignoredBefore) {
        text += "\n\nIgnored columns:";
        for (std::size_t i = ignoredBefore; i < library_.ignoredColumns().size(); ++i)
            text += (i == ignoredBefore ? " " : ", ") + library_.ignoredColumns()[i];
    }
    ui_.messageBox(kCaption, text, refused > 0 ? MessageIcon::Exclamation : MessageIcon::Information,
                   MessageButtons::Ok);
    applyFilter();
}

void TDriverLibraryWindow::loadIntoProject() {
    const int index = table_->currentRow() >= 0 ? entryAt(table_->currentRow()) : -1;
    if (!box_ || index < 0) {
        ui_.beep();
        return;
    }
    const TSpkData& unit = library_.entries()[static_cast<std::size_t>(index)].unit;
    const std::filesystem::path last(unitSelector_.rememberedPath);
    unitSelector_.rememberedPath = (last.parent_path() / TDriverLibrary::unitFileName(unit)).string();
    std::optional<std::string> path = ui_.selectFile(unitSelector_, FileMode::Save);
    if (!path) return;
    if (std::filesystem::path(*path).extension().empty()) *path += ".unt";
    std::string error;
    if (!TDriverLibrary::writeUnitCopy(unit, *path, error)) {
        ui_.error(kCaption, "Could not write the unit file '" + *path + "'.");
        return;
    }
    if (box_->LoadDriverUnitFile(*path)) cancelCommand();
}

} // namespace harlox
