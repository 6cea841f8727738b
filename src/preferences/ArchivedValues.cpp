#include "preferences/ArchivedValues.h"

#include <QDataStream>
#include <QIODevice>

namespace lq::ArchivedValues {
namespace {

constexpr quint32 kMagic = 0x4c514156; // "LQAV"
constexpr quint8 kVersion = 1;

enum class Kind : quint8 { Font = 1, Color = 2, FolderURL = 3 };

QByteArray encodeText(Kind kind, const QString &text)
{
    QByteArray data;
    QDataStream stream(&data, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_6_4);
    stream << kMagic << kVersion << static_cast<quint8>(kind) << text;
    return data;
}

// The text payload of a value of that kind; none when anything about it is off.
std::optional<QString> decodeText(Kind kind, const QByteArray &data)
{
    QDataStream stream(data);
    stream.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    quint8 version = 0;
    quint8 storedKind = 0;
    QString text;
    stream >> magic >> version >> storedKind >> text;
    if (stream.status() != QDataStream::Ok || !stream.atEnd() || magic != kMagic ||
        version != kVersion || storedKind != static_cast<quint8>(kind) || text.isEmpty())
        return std::nullopt;
    return text;
}

} // namespace

QByteArray encodeFont(const QFont &font)
{
    return encodeText(Kind::Font, font.toString());
}

std::optional<QFont> decodeFont(const QByteArray &data)
{
    const std::optional<QString> text = decodeText(Kind::Font, data);
    QFont font;
    if (!text || !font.fromString(*text) || font.pointSizeF() <= 0)
        return std::nullopt;
    return font;
}

QByteArray encodeColor(const QColor &color)
{
    return encodeText(Kind::Color, color.name(QColor::HexArgb));
}

std::optional<QColor> decodeColor(const QByteArray &data)
{
    const std::optional<QString> text = decodeText(Kind::Color, data);
    if (!text || !QColor::isValidColor(*text))
        return std::nullopt;
    return QColor(*text);
}

QByteArray encodeFolderURL(const QUrl &url)
{
    return encodeText(Kind::FolderURL, QString::fromUtf8(url.toEncoded()));
}

std::optional<QUrl> decodeFolderURL(const QByteArray &data)
{
    const std::optional<QString> text = decodeText(Kind::FolderURL, data);
    if (!text)
        return std::nullopt;
    const QUrl url = QUrl::fromEncoded(text->toUtf8(), QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile())
        return std::nullopt;
    return url;
}

} // namespace lq::ArchivedValues
