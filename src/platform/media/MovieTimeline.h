#pragma once

#include "platform/foundation/Error.h"
#include "platform/media/MediaComposition.h"
#include "platform/media/MediaInfo.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

namespace lq {

// One stretch of a movie timeline.
struct TimelineSegment
{
    enum class Kind {
        Media,   // the whole of a media file
        Silence, // a filler before any picture
        Black,   // a filler once a picture was seen
        Missing, // the length of a file that could not be read, left empty
    };

    Kind kind = Kind::Media;
    double start = 0.0;    // seconds into the timeline
    double duration = 0.0; // seconds
    QString path;          // Media only
    MediaInfo info;        // Media only
    // The size its picture is shown at; empty without a picture, or when it has none known.
    QSize pictureSize;
    bool hasPicture = false;
};

// A movie assembled from media files and fillers laid end to end, as an editor shows it: where
// each stretch starts, the moment shown and the picture there. It can be written to a small
// description file and read back. Main thread.
class MovieTimeline : public QObject
{
    Q_OBJECT

public:
    MovieTimeline() = default;

    // Appends the whole file info describes.
    void appendMedia(const QString &path, const MediaInfo &info);
    // Appends a filler lasting seconds: silence until a picture was seen, black after.
    void appendFiller(double seconds);
    // Leaves seconds empty for a file that could not be read.
    void appendMissing(double seconds);

    const QList<TimelineSegment> &segments() const { return m_segments; }
    double duration() const;
    // The size of the first picture; none without pictures.
    std::optional<QSize> naturalSize() const;
    // The sizes the media pictures are shown at, in order of the segments with pictures; set
    // in that order too.
    QList<QSize> pictureSizes() const;
    void setPictureSizes(const QList<QSize> &sizes);

    double currentTime() const { return m_currentTime; }
    // Moves the moment shown, kept within the timeline.
    void setCurrentTime(double seconds);
    // The picture at seconds: the media's, else black at the natural size; null without pictures.
    QImage frameAt(double seconds, Error *error = nullptr) const;

    // The timeline for a render: fillers and missing stretches become gaps made of the silent
    // file silence describes.
    MediaComposition composition(const QString &silencePath, const MediaInfo &silence) const;

    // Writes the description; a failure leaves no file.
    bool write(const QString &path, Error *error) const;
    // Reads a description write() made; null with an error for anything else.
    static std::unique_ptr<MovieTimeline> read(const QString &path, Error *error);

Q_SIGNALS:
    void currentTimeChanged(double seconds);

private:
    void append(TimelineSegment segment);

    QList<TimelineSegment> m_segments;
    bool m_pictureSeen = false;
    double m_currentTime = 0.0;
};

} // namespace lq
