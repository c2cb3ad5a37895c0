#pragma once

#include <QRectF>
#include <QSizeF>
#include <QString>

class QPainter;

namespace harlox {

class TNetA;
class TXover;

// The one drawing routine for circuit schematics: the schematic window, printing, the
// clipboard and PNG/SVG files. A simple project draws its two or three sections one below the
// other; an advanced project draws one net. The drawing is laid out in logical units (about
// one screen pixel at normal size) and scaled, keeping its aspect, into the target.
//
// A net's large-symbols flag draws the component, driver and source symbols half again as
// wide with heavier lines; the text and the layout stay as they are.
class SchematicPainter {
public:
    // Natural size in logical units.
    static QSizeF size(TXover& simpleProject);
    static QSizeF size(TNetA& net);

    // Draws into target, top left aligned; printing leaves the background unpainted.
    static void paint(QPainter& painter, const QRectF& target, TXover& simpleProject, bool printing);
    static void paint(QPainter& painter, const QRectF& target, TNetA& net, bool printing);

    // PNG or SVG by the extension, written atomically. net -1 draws the simple project,
    // otherwise advanced net `net` of the project. Needs a QGuiApplication.
    [[nodiscard]] static bool saveToFile(TXover& project, int net, const QString& path,
                                         QString* error = nullptr);
};

} // namespace harlox
