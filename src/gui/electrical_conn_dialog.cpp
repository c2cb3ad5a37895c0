#include "gui/electrical_conn_dialog.h"

#include "driver/speaker_object.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include <cstddef>

namespace harlox {

TElectricalConnDialog::TElectricalConnDialog(QWidget* parent, TSpeakerObject& unit)
    : TBaseDialog(parent, QString::fromUtf8(kHelpFile), Buttons(OkButton | CancelButton | HelpButton)),
      unit_(unit), offered_(TSpeakerObject::offeredConnections(unit.driverCount)) {
    setWindowTitle(QString::fromUtf8(kCaption));

    auto* column = new QVBoxLayout(content());
    column->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(tr("Connection of %1 drivers:").arg(unit.driverCount), content());
    column->addWidget(label);
    list_ = new QListWidget(content());
    label->setBuddy(list_);
    for (const int index : offered_)
        list_->addItem(QString::fromUtf8(TSpeakerObject::connectionName(index)));
    for (std::size_t row = 0; row < offered_.size(); ++row) {
        if (offered_[row] == unit.driverConnection) list_->setCurrentRow(static_cast<int>(row));
    }
    // Just tall enough for the longest list (five names), so nothing scrolls.
    const int rowHeight = list_->sizeHintForRow(0);
    list_->setFixedHeight(rowHeight * 5 + 2 * list_->frameWidth() + 4);
    list_->setMinimumWidth(list_->sizeHintForColumn(0) + 2 * list_->frameWidth() + 40);
    column->addWidget(list_);
}

int TElectricalConnDialog::selectedConnection() const {
    const int row = list_->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= offered_.size()) return -1;
    if (!list_->currentItem() || !list_->currentItem()->isSelected()) return -1;
    return offered_[static_cast<std::size_t>(row)];
}

bool TElectricalConnDialog::apply() {
    const int index = selectedConnection();
    if (index < 0 || index == unit_.driverConnection) return false;
    return unit_.setDriverConnection(index);
}

} // namespace harlox
