#pragma once

#include "gui/diagram_renderer.h"

#include <QRectF>
#include <QString>

#include <functional>
#include <vector>

class QPainter;
class QPrinter;

namespace harlox {

class DiagramModel;

// Printed pages are laid out on a logical page of 1200 x 1800 units, fitted to the
// printer's paper without distortion.
inline constexpr double kPrintPageWidth = 1200.0;
inline constexpr double kPrintPageHeight = 1800.0;

// The print-diagrams settings of a project.
struct PrintDiagramsSettings {
    static constexpr int kMaxSelected = 8;
    std::vector<const DiagramModel*> selected;
    std::size_t maxSelected = kMaxSelected; // a filter project keeps more
    int perPage = 8; // 3, 4 or 8
    bool printDate = true;
    bool printProjectName = true;
};

// The texts at the top of the first page.
struct PrintHeader {
    QString heading;  // centred at (600, 60), bold
    QString date;     // ends at x 1100; empty for none
    QString fileName; // "Filename   name.ext" at (60, 60); empty for none
};

// Where one diagram goes.
struct DiagramSlot {
    int page = 0;
    QRectF frame;     // the diagram's axes, grid and curves
    QRectF titleRect; // its title, just above the frame
};

// The frames of `count` diagrams printed `perPage` to a page (3, 4 or 8; others act as 8):
// 3 per page are 0.8 x 0.25 of the page, 4 per page 0.7 x 0.18, 8 per page 0.4 x 0.18 in
// two columns. A new page follows every third or fourth diagram; 8 per page fit on one.
std::vector<DiagramSlot> diagramSlots(int count, int perPage);

// The system's date and time as the page header shows it ("Tue Sep 21 14:05:09 1999").
QString printDateText();

// Sets the painter's window to the logical page, fitted and centred on the printer's page.
void mapLogicalPage(QPainter& painter, const QPrinter& printer);

// The print jobs. All return false when the printer could not be started.
// `extend` gives what a window draws beyond its model (the off-axis map), empty for none.
[[nodiscard]] bool printDiagrams(QPrinter& printer, const std::vector<const DiagramModel*>& diagrams,
                                 int perPage, const PrintHeader& header,
                                 const std::function<RenderOptionsHook(const DiagramModel&)>& extend = {});
// One diagram window, with its title, across the top of a page; `extend` adds what the
// window draws beyond its model.
[[nodiscard]] bool printDiagramWindow(QPrinter& printer, const DiagramModel& model,
                                      const RenderOptionsHook& extend = {});
// A text window (the data sheet) in a fixed-pitch font, tabs every 8 columns, as many
// pages as it needs.
[[nodiscard]] bool printTextWindow(QPrinter& printer, const QString& title, const QString& text);

// Tabs to spaces (stops every 8 columns).
QString expandTabs(const QString& line, int tabSize = 8);

} // namespace harlox
