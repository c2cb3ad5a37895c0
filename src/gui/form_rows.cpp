#include "gui/form_rows.h"

#include "gui/dbl_edit.h"
#include "gui/entry_edit.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

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
    if (auto* entry = qobject_cast<TEntryEdit*>(field)) entry->setDescription(label, unit);
    return l;
}

FormColumns twoColumns(QWidget* page) {
    auto* columns = new QHBoxLayout(page);
    columns->setContentsMargins(0, 0, 0, 0);
    FormColumns c{new QVBoxLayout, new QVBoxLayout};
    columns->addLayout(c.left);
    columns->addLayout(c.right);
    return c;
}

void showFieldValue(TDblEdit* field, double value) {
    if (field->value() != value || field->text().isEmpty()) field->setValue(value);
}

void showFieldText(QLineEdit* field, const QString& text) {
    if (field->text() != text) {
        field->setText(text);
        field->setCursorPosition(0);
    }
    field->setToolTip(text);
}

} // namespace harlox
