#pragma once

#include <QRectF>
#include <QSize>
#include <QString>

#include <functional>

class QPainter;

namespace harlox {

// The largest picture side written, in pixels.
constexpr int kMaxPictureSide = 16000;

// What goes into an SVG file's title and description.
struct PictureInfo {
    QString title;
    QString description;
};

// Writes a picture as PNG or SVG, chosen by the file's extension, atomically: a failed write
// leaves an existing file as it was. `pngSize` is the PNG's pixels on white, `svgSize` the SVG's
// size in CSS pixels; `draw` paints into the rectangle it is given. Needs a QGuiApplication.
[[nodiscard]] bool savePicture(const QString& path, const QSize& pngSize, const QSize& svgSize,
                               const PictureInfo& info, const std::function<void(QPainter&, const QRectF&)>& draw,
                               QString* error);

} // namespace harlox
