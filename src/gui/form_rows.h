#pragma once

#include <QString>

class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QVBoxLayout;
class QWidget;

namespace harlox {

class TDblEdit;

// The dialogs' field rows: label, fixed-width field, unit, in a three-column grid whose
// unit column fits the widest unit, so fields line up across a dialog's groups.
QGridLayout* formGrid(QGroupBox* box, const QString& widestUnit);

// A field wide enough to show `widestText`.
int fieldWidth(const QWidget* field, const QString& widestText);

// Adds a row; `unit` may be empty. Returns the label.
QLabel* addFormRow(QGridLayout* grid, const QString& label, QWidget* field, const QString& unit,
                   const QString& widestText);

// A dialog page split into a left and a right column of groups.
struct FormColumns {
    QVBoxLayout* left = nullptr;
    QVBoxLayout* right = nullptr;
};
FormColumns twoColumns(QWidget* page);

// Rewrite a field only when what it shows changes, so the field being typed into keeps its
// text; an emptied number field is filled again.
void showFieldValue(TDblEdit* field, double value);
void showFieldText(QLineEdit* field, const QString& text);

} // namespace harlox
