#pragma once

#include "gui/base_dialog.h"
#include "gui/diagram_printing.h"

#include <vector>

class QCheckBox;
class QListWidget;
class QRadioButton;

namespace harlox {

class DiagramModel;
class UiHost;

// Chooses the diagrams to print, how many to a page, and the date and file name lines.
// The settings are taken over only when the dialog ends with "Print".
class TPrintDiagramsDialog : public TBaseDialog {
    Q_OBJECT

public:
    // pickList: the windows that can be printed, in the order they are offered.
    TPrintDiagramsDialog(QWidget* parent, UiHost& ui, std::vector<const DiagramModel*> pickList,
                         const PrintDiagramsSettings& settings);

    // The dialog's state (what "Print" takes over).
    [[nodiscard]] PrintDiagramsSettings settings() const;

    // "Add -->": appends the picked window unless it is there already.
    void addPicked();
    // "Remove": removes the selected entry of the print list.
    void removeSelected();

    [[nodiscard]] QListWidget* pickList() const { return pick_; }
    [[nodiscard]] QListWidget* printList() const { return print_; }
    [[nodiscard]] QRadioButton* perPageButton(int perPage) const;
    [[nodiscard]] QCheckBox* dateBox() const { return date_; }
    [[nodiscard]] QCheckBox* projectNameBox() const { return name_; }

private:
    UiHost& ui_;
    std::vector<const DiagramModel*> candidates_;
    std::vector<const DiagramModel*> selected_;
    std::size_t maxSelected_;
    QListWidget* pick_;
    QListWidget* print_;
    QRadioButton* three_;
    QRadioButton* four_;
    QRadioButton* eight_;
    QCheckBox* date_;
    QCheckBox* name_;
};

} // namespace harlox
