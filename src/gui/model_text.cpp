#include "gui/model_text.h"

#include <QByteArrayView>
#include <QStringDecoder>

#include <algorithm>

namespace harlox {

QString fromModelText(std::string_view text) {
    const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString s = utf8.decode(bytes);
    if (!utf8.hasError()) return s;
    return QString::fromLatin1(bytes);
}

std::string toModelText(const QString& text, std::size_t maxBytes) {
    const QByteArray utf8 = text.toUtf8();
    std::size_t n = std::min(static_cast<std::size_t>(utf8.size()), maxBytes);
    // Back off over continuation bytes so no character is split.
    if (n < static_cast<std::size_t>(utf8.size())) {
        while (n > 0 && (static_cast<unsigned char>(utf8[static_cast<qsizetype>(n)]) & 0xC0) == 0x80)
            --n;
    }
    return std::string(utf8.constData(), n);
}

} // namespace harlox
