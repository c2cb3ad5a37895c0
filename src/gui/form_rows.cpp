#include "gui/form_rows.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

namespace harlox {

QGridLayout* formGrid(QGroupBox* box, const QString& widestUnit) {
    auto* grid = new QGridLayout(box);
    grid->setColumnStretch(0, 1);
    grid->setColumnMinimumWidth(2, box->fontMetrics().horizontalAdvance(widestUnit) + 4);
    return grid;
}

int fieldWidth(const QWidget* field, const QString& widestText) {
    return field->fontMetrics().horizontalAdvance(widestText) + 12;
}

QLabel* addFormRow(QGridLayout* grid, const QString& label, QWidget* field, const QString& unit,
                   const QString& widestText) {
    const int row = grid->rowCount();
    auto* l = new QLabel(label);
    l->setBuddy(field);
    grid->addWidget(l, row, 0);
    field->setFixedWidth(fieldWidth(field, widestText));
    grid->addWidget(field, row, 1);
    if (!unit.isEmpty()) grid->addWidget(new QLabel(unit), row, 2);
    return l;
}

} // namespace harlox
