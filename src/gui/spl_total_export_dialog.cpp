#include "gui/spl_total_export_dialog.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace harlox {

TSPLTotalExportDialog::TSPLTotalExportDialog(QWidget* parent, const std::vector<std::string>& angles,
                                             int selected)
    : TBaseDialog(parent, QString::fromLatin1(kHelpFile), Buttons(OkButton | CancelButton | HelpButton)) {
    setWindowTitle(QString::fromLatin1(kCaption));
    auto* column = new QVBoxLayout(content());
    column->setContentsMargins(0, 0, 0, 0);
    list_ = new QListWidget(content());
    auto* label = new QLabel(QStringLiteral("Degrees off axis"), content());
    label->setBuddy(list_);
    column->addWidget(label);
    for (const std::string& a : angles)
        list_->addItem(QString::fromStdString(a));
    list_->setMinimumHeight(list_->fontMetrics().lineSpacing() * 10);
    column->addWidget(list_);
    const int count = static_cast<int>(angles.size());
    if (count > 0) list_->setCurrentRow(std::clamp(selected, 0, count - 1));
    // A double click chooses and exports at once.
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] {
        okButton()->setFocus(Qt::OtherFocusReason);
        okCommand();
    });
}

int TSPLTotalExportDialog::selectedRay() const {
    return list_->currentRow();
}

std::optional<int> chooseSplTotalRay(QWidget* parent, const std::vector<std::string>& angles, int selected,
                                     const std::function<int(QDialog&)>& exec) {
    if (angles.empty()) return std::nullopt;
    TSPLTotalExportDialog dialog(parent, angles, selected);
    const int result = exec ? exec(dialog) : dialog.exec();
    if (result != TBaseDialog::ResultOk) return std::nullopt;
    const int ray = dialog.selectedRay();
    if (ray < 0) return std::nullopt;
    return ray;
}

} // namespace harlox
