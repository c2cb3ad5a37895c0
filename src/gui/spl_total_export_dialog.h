#pragma once

#include "gui/base_dialog.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QListWidget;

namespace harlox {

// "Export SPL Total": which calculated ray the SPL export of the total writes.
class TSPLTotalExportDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Export SPL Total";
    static constexpr const char* kHelpFile = "totexp.txt";

    // angles: the rays as the list shows them ("+30"); selected: the row chosen at first.
    TSPLTotalExportDialog(QWidget* parent, const std::vector<std::string>& angles, int selected);

    [[nodiscard]] QListWidget* angleList() const { return list_; }
    // The chosen row, -1 when there is none.
    [[nodiscard]] int selectedRay() const;

private:
    QListWidget* list_;
};

// Runs the dialog through exec (the dialog's own exec() when empty) and returns the chosen
// row, or nothing when it was cancelled or there is nothing to choose.
[[nodiscard]] std::optional<int> chooseSplTotalRay(QWidget* parent, const std::vector<std::string>& angles,
                                                   int selected, const std::function<int(QDialog&)>& exec);

} // namespace harlox
