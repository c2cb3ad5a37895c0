#include "gui/picture_file.h"

#include "core/atomic_file.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <span>

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
    // The program's one atomic writer: the previous picture survives any failure.
    errno = 0;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    if (!writeFileAtomic(QFile::encodeName(path).toStdString(), std::span(data, static_cast<std::size_t>(bytes.size())))) {
        const int e = errno;
        return fail(e != 0 ? QString::fromLocal8Bit(std::strerror(e)) : QStringLiteral("the file could not be written"));
    }
    return true;
}

} // namespace harlox
