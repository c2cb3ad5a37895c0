#include "gui/picture_file.h"

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace harlox {

bool savePicture(const QString& path, const QSize& pngSize, const QSize& svgSize, const PictureInfo& info,
                 const std::function<void(QPainter&, const QRectF&)>& draw, QString* error) {
    const auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const QString suffix = QFileInfo(path).suffix().toLower();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (suffix == QLatin1String("png")) {
        if (pngSize.width() > kMaxPictureSide || pngSize.height() > kMaxPictureSide)
            return fail(
                QStringLiteral("image size %1 x %2 is too large").arg(pngSize.width()).arg(pngSize.height()));
        QImage img(pngSize, QImage::Format_ARGB32_Premultiplied);
        if (img.isNull())
            return fail(QStringLiteral("not enough memory for a %1 x %2 image")
                            .arg(pngSize.width())
                            .arg(pngSize.height()));
        img.fill(Qt::white);
        {
            QPainter p(&img);
            draw(p, QRectF(QPointF(0, 0), QSizeF(pngSize)));
        }
        if (!img.save(&buffer, "PNG")) return fail(QStringLiteral("could not encode the PNG image"));
    } else if (suffix == QLatin1String("svg")) {
        QSvgGenerator gen;
        gen.setOutputDevice(&buffer);
        gen.setSize(svgSize);
        gen.setViewBox(QRect(QPoint(0, 0), svgSize));
        gen.setResolution(96); // CSS pixels, so the size in the file is the size asked for
        gen.setTitle(info.title);
        gen.setDescription(info.description);
        QPainter p;
        if (!p.begin(&gen)) return fail(QStringLiteral("could not start the SVG drawing"));
        draw(p, QRectF(QPointF(0, 0), QSizeF(svgSize)));
        p.end();
    } else {
        return fail(QStringLiteral("unknown image type '%1': use .png or .svg").arg(suffix));
    }
    buffer.close();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return fail(file.errorString());
    // A full disk shows only when the buffer goes out, so flush before committing.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return fail(file.errorString());
    }
    if (!file.commit()) return fail(file.errorString());
    return true;
}

} // namespace harlox
