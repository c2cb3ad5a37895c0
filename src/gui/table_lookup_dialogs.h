#pragma once

class QWidget;

namespace harlox {

class TBoxEmbryo;
class UiHost;

// Runs the table lookup of the project's box type (its window, or the direct command of the
// passive radiator box). True when the project was changed.
bool runTableLookup(QWidget* parent, TBoxEmbryo& project, UiHost& ui);

} // namespace harlox
