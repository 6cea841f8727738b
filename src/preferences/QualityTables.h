#pragma once

#include <QMap>
#include <QSize>
#include <QString>
#include <QStringList>

namespace lq {

// The recording qualities on offer: display names in offer order, each with its quality id
// (and, for video, its frame size).
struct QualityTable
{
    QStringList names;
    QMap<QString, QString> ids;
    QMap<QString, QSize> sizes;

    // The display name of an id; the first name when no name has it.
    QString nameForId(const QString &id) const;
};

namespace QualityTables {

// The tables of the modern engines, or of the legacy ones when modern is false.
QualityTable audio(bool modern);
QualityTable video(bool modern, bool cameraOffers1280x720);

// A stored id in the current table's terms: ids of the other engine family and older video
// ids are matched by position; any other value is answered as it stands.
QString translatedAudioId(const QString &stored, bool modern);
QString translatedVideoId(const QString &stored, bool modern);

} // namespace QualityTables
} // namespace lq
