#pragma once

#include "platform/foundation/Error.h"
#include "platform/media/MediaInfo.h"

#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace lq {

// One stretch of a timeline: the first duration seconds of a media file, which is the whole
// file except for the last piece of a silent gap.
struct CompositionSegment
{
    QString path;
    double duration = 0.0; // seconds
    bool isGap = false;
    QString streamLayout; // the file's streams in order, as codec ids, for comparing files
    MediaInfo info;       // what the file holds
};

struct CompositionTrack
{
    enum class Kind { Audio, Video };
    Kind kind;
    QString codec;

    bool operator==(const CompositionTrack &) const = default;
};

// Media files and gaps laid end to end as one timeline, in the order they were appended.
class MediaComposition
{
public:
    // Appends the whole file that info describes.
    void appendFile(const QString &path, const MediaInfo &info);
    // Appends a gap lasting seconds, made of copies of a silent file that silence describes, the
    // last copy cut to the time still missing. Adds nothing when seconds or the silent file's
    // duration is not above zero.
    void appendGap(double seconds, const QString &silencePath, const MediaInfo &silence);

    bool isEmpty() const { return m_segments.isEmpty(); }
    const QList<CompositionSegment> &segments() const { return m_segments; }
    // Where segment index begins on the timeline, in seconds.
    double segmentStart(qsizetype index) const;
    double duration() const;
    // The size of the first video stream; empty for sound only.
    QSizeF naturalSize() const { return m_naturalSize; }
    // One track per kind and codec met, in order of appearance.
    const QList<CompositionTrack> &tracks() const { return m_tracks; }

    // The files a player plays one after the other for this timeline; empty with an error when
    // it has gaps, or files whose streams differ, which only an export can join.
    QStringList playbackFiles(Error *error) const;

private:
    void addTrack(CompositionTrack::Kind kind, const QString &codec);
    void append(const CompositionSegment &segment, const MediaInfo &info);

    QList<CompositionSegment> m_segments;
    QList<CompositionTrack> m_tracks;
    QSizeF m_naturalSize{0.0, 0.0};
};

} // namespace lq
