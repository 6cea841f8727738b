#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace lq {

// One release in an update feed: an RSS item whose enclosure (or the item itself) carries the
// version and the short version string.
struct AppcastItem
{
    QString title;
    QString version;
    QString shortVersionString;
    QUrl downloadURL; // the enclosure's url, else the item's link

    // The version shown and compared: the short version string, else the version.
    QString displayVersion() const;
};

namespace Appcast {

// The items of a feed that name a version; none when the feed is not well-formed RSS.
std::optional<QList<AppcastItem>> parse(const QByteArray &feed);

// The item with the highest version; none for an empty list.
std::optional<AppcastItem> newest(const QList<AppcastItem> &items);

// Compares dotted versions part by part, numerically ("3.10" > "3.9"; "3.1" == "3.1.0").
int compareVersions(const QString &first, const QString &second);

} // namespace Appcast
} // namespace lq
