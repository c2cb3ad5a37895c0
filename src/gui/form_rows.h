#pragma once

#include <QString>

class QGridLayout;
class QGroupBox;
class QLabel;
class QWidget;

namespace harlox {

// The dialogs' field rows: label, fixed-width field, unit, in a three-column grid whose
// unit column fits the widest unit, so fields line up across a dialog's groups.
QGridLayout* formGrid(QGroupBox* box, const QString& widestUnit);

// A field wide enough to show `widestText`.
int fieldWidth(const QWidget* field, const QString& widestText);

// Adds a row; `unit` may be empty. Returns the label.
QLabel* addFormRow(QGridLayout* grid, const QString& label, QWidget* field, const QString& unit,
                   const QString& widestText);

} // namespace harlox
