#include "document/HighlightColors.h"

#include "platform/foundation/UserDefaults.h"

#include <QDataStream>
#include <QIODevice>
#include <QVariantList>

namespace highlight_colors {

namespace {

constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_4;

QString key()
{
    return QString::fromLatin1(kDefaultsKey);
}

} // namespace

const QList<QColor> &defaultColors()
{
    static const QList<QColor> colors = {
        QColor::fromRgbF(1, 1, 0), QColor::fromRgbF(0, 1, 1), QColor::fromRgbF(1, 0.5, 0),
        QColor::fromRgbF(0, 1, 0), QColor::fromRgbF(1, 0, 0),
    };
    return colors;
}

QList<QColor> workingList(const lq::UserDefaults &defaults)
{
    QList<QColor> colors;
    for (const QVariant &item : defaults.arrayForKey(key())) {
        if (const std::optional<QColor> color = decode(item.toByteArray()))
            colors.append(*color);
    }
    for (const QColor &color : defaultColors()) {
        if (!colors.contains(color))
            colors.append(color);
    }
    return colors;
}

void store(lq::UserDefaults &defaults, const QList<QColor> &colors)
{
    QVariantList items;
    for (const QColor &color : colors)
        items.append(encode(color));
    defaults.setObject(key(), items);
}

void reset(lq::UserDefaults &defaults)
{
    defaults.removeObject(key());
}

QByteArray encode(const QColor &color)
{
    QByteArray item;
    QDataStream stream(&item, QIODevice::WriteOnly);
    stream.setVersion(kStreamVersion);
    stream << color;
    return item;
}

std::optional<QColor> decode(const QByteArray &item)
{
    QDataStream stream(item);
    stream.setVersion(kStreamVersion);
    QColor color;
    stream >> color;
    if (stream.status() != QDataStream::Ok || !stream.atEnd() || !color.isValid())
        return std::nullopt;
    return color;
}

} // namespace highlight_colors
