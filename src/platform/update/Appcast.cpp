#include "platform/update/Appcast.h"

#include <QStringList>
#include <QXmlStreamReader>

namespace lq {

QString AppcastItem::displayVersion() const
{
    return shortVersionString.isEmpty() ? version : shortVersionString;
}

namespace Appcast {
namespace {

void readVersionAttributes(const QXmlStreamAttributes &attributes, AppcastItem &item)
{
    for (const QXmlStreamAttribute &attribute : attributes) {
        if (attribute.name() == QLatin1String("version"))
            item.version = attribute.value().toString().trimmed();
        else if (attribute.name() == QLatin1String("shortVersionString"))
            item.shortVersionString = attribute.value().toString().trimmed();
        else if (attribute.name() == QLatin1String("url"))
            item.downloadURL = QUrl(attribute.value().toString().trimmed());
    }
}

AppcastItem readItem(QXmlStreamReader &reader)
{
    AppcastItem item;
    QUrl link;
    while (reader.readNextStartElement()) {
        const auto name = reader.name();
        if (name == QLatin1String("enclosure")) {
            readVersionAttributes(reader.attributes(), item);
            reader.skipCurrentElement();
        } else if (name == QLatin1String("title")) {
            item.title = reader.readElementText().trimmed();
        } else if (name == QLatin1String("link")) {
            link = QUrl(reader.readElementText().trimmed());
        } else if (name == QLatin1String("version")) {
            item.version = reader.readElementText().trimmed();
        } else if (name == QLatin1String("shortVersionString")) {
            item.shortVersionString = reader.readElementText().trimmed();
        } else {
            reader.skipCurrentElement();
        }
    }
    if (item.downloadURL.isEmpty())
        item.downloadURL = link;
    return item;
}

} // namespace

std::optional<QList<AppcastItem>> parse(const QByteArray &feed)
{
    QXmlStreamReader reader(feed);
    QList<AppcastItem> items;
    if (!reader.readNextStartElement() || reader.name() != QLatin1String("rss"))
        return std::nullopt;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("item")) {
            AppcastItem item = readItem(reader);
            if (!item.displayVersion().isEmpty())
                items.append(item);
        }
    }
    if (reader.hasError())
        return std::nullopt;
    return items;
}

std::optional<AppcastItem> newest(const QList<AppcastItem> &items)
{
    std::optional<AppcastItem> best;
    for (const AppcastItem &item : items) {
        if (!best || compareVersions(item.displayVersion(), best->displayVersion()) > 0)
            best = item;
    }
    return best;
}

int compareVersions(const QString &first, const QString &second)
{
    const QStringList a = first.split(QLatin1Char('.'));
    const QStringList b = second.split(QLatin1Char('.'));
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const QString partA = i < a.size() ? a[i] : QStringLiteral("0");
        const QString partB = i < b.size() ? b[i] : QStringLiteral("0");
        bool numberA = false;
        bool numberB = false;
        const qulonglong valueA = partA.toULongLong(&numberA);
        const qulonglong valueB = partB.toULongLong(&numberB);
        const int order =
            numberA && numberB ? (valueA > valueB) - (valueA < valueB) : partA.compare(partB);
        if (order != 0)
            return order < 0 ? -1 : 1;
    }
    return 0;
}

} // namespace Appcast
} // namespace lq
