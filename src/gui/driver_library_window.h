#pragma once

#include "core/ui_host.h"
#include "driver/driver_library.h"
#include "gui/base_dialog.h"

#include <array>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace harlox {

class TBoxEmbryo;
class TDblEdit;

// The "Driver library" window: the shipped drivers and any imported tables in a sortable
// list with a text search and range filters; "Load into project" saves a unit file copy of
// the chosen driver and loads that copy, so the project never refers to the library.
class TDriverLibraryWindow : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Driver library";
    static constexpr const char* kHelpFile = "drvlib.txt";
    static constexpr const char* kTableFilter =
        "Driver tables (*.csv;*.json)|*.csv;*.json|All files (*.*)|*.*|";
    enum Column { ManufacturerColumn, ModelColumn, FsColumn, QtsColumn, VasColumn, SdColumn, XmaxColumn };

    // Loads every table in the program's examples/drivers folder. box may be null (the
    // list can still be browsed and imported into).
    TDriverLibraryWindow(QWidget* parent, UiHost& ui, TBoxEmbryo* box);

    [[nodiscard]] const TDriverLibrary& library() const { return library_; }
    [[nodiscard]] QLineEdit* searchEdit() const { return search_; }
    [[nodiscard]] TDblEdit* minField(LibraryField f) const { return min_[static_cast<std::size_t>(f)]; }
    [[nodiscard]] TDblEdit* maxField(LibraryField f) const { return max_[static_cast<std::size_t>(f)]; }
    [[nodiscard]] QTableWidget* table() const { return table_; }
    [[nodiscard]] QLabel* countLabel() const { return count_; }
    [[nodiscard]] QPushButton* importButton() const { return import_; }
    [[nodiscard]] QPushButton* loadButton() const { return load_; }
    [[nodiscard]] QPushButton* closeButton() const { return close_; }
    // The entry shown in a table row, -1 for none.
    [[nodiscard]] int entryAt(int row) const;

    // The buttons' actions.
    void importTable();
    void loadIntoProject();

private:
    void applyFilter();
    void fillTable();
    void updateButtons();

    UiHost& ui_;
    TBoxEmbryo* box_;
    TDriverLibrary library_;
    TDriverFilter filter_;
    FileSelector tableSelector_;
    FileSelector unitSelector_;
    QLineEdit* search_ = nullptr;
    std::array<TDblEdit*, kLibraryFieldCount> min_{};
    std::array<TDblEdit*, kLibraryFieldCount> max_{};
    QTableWidget* table_ = nullptr;
    QLabel* count_ = nullptr;
    QPushButton* import_ = nullptr;
    QPushButton* load_ = nullptr;
    QPushButton* close_ = nullptr;
};

} // namespace harlox
