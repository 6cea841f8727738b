#include "platform/media/MediaComposition.h"

#include <QFileInfo>

#include <algorithm>

namespace lq {
namespace {

// Below this, time still missing in a gap is rounding, not a stretch to fill.
constexpr double kNegligibleSeconds = 1e-9;

enum ErrorCode { NothingToPlay = 50, GapsNotPlayable, MixedStreams };

QString streamLayout(const MediaInfo &info)
{
    QStringList ids;
    for (const AudioStreamInfo &audio : info.audioStreams)
        ids.append(QStringLiteral("audio:") + audio.codec);
    for (const VideoStreamInfo &video : info.videoStreams)
        ids.append(QStringLiteral("video:") + video.codec);
    return ids.join(QLatin1Char(','));
}

Error compositionError(int code, const QString &message)
{
    return Error(QStringLiteral("media"), code, message);
}

} // namespace

void MediaComposition::appendFile(const QString &path, const MediaInfo &info)
{
    append({path, info.duration, false, streamLayout(info), info}, info);
}

void MediaComposition::appendGap(double seconds, const QString &silencePath,
                                 const MediaInfo &silence)
{
    if (silence.duration <= 0.0)
        return;
    const QString layout = streamLayout(silence);
    for (double filled = 0.0; seconds - filled > kNegligibleSeconds;) {
        const double piece = std::min(silence.duration, seconds - filled);
        append({silencePath, piece, true, layout, silence}, silence);
        filled += piece;
    }
}

void MediaComposition::append(const CompositionSegment &segment, const MediaInfo &info)
{
    m_segments.append(segment);
    for (const AudioStreamInfo &audio : info.audioStreams)
        addTrack(CompositionTrack::Kind::Audio, audio.codec);
    for (const VideoStreamInfo &video : info.videoStreams) {
        addTrack(CompositionTrack::Kind::Video, video.codec);
        if (m_naturalSize.isEmpty() && video.width > 0 && video.height > 0)
            m_naturalSize = QSizeF(video.width, video.height);
    }
}

void MediaComposition::addTrack(CompositionTrack::Kind kind, const QString &codec)
{
    const CompositionTrack track{kind, codec};
    if (!m_tracks.contains(track))
        m_tracks.append(track);
}

double MediaComposition::segmentStart(qsizetype index) const
{
    double start = 0.0;
    for (qsizetype i = 0; i < index && i < m_segments.size(); ++i)
        start += m_segments[i].duration;
    return start;
}

double MediaComposition::duration() const
{
    return segmentStart(m_segments.size());
}

QStringList MediaComposition::playbackFiles(Error *error) const
{
    if (m_segments.isEmpty()) {
        setError(error, compositionError(NothingToPlay, QStringLiteral("The timeline is empty.")));
        return {};
    }
    QStringList files;
    for (const CompositionSegment &segment : m_segments) {
        if (segment.isGap) {
            setError(error, compositionError(GapsNotPlayable,
                                             QStringLiteral("A timeline with silent gaps can be "
                                                            "exported but not played.")));
            return {};
        }
        if (segment.streamLayout != m_segments.first().streamLayout) {
            setError(error,
                     compositionError(MixedStreams,
                                      QStringLiteral("The media file “%1” holds other kinds of "
                                                     "streams than “%2” and cannot be played "
                                                     "after it.")
                                          .arg(QFileInfo(segment.path).fileName(),
                                               QFileInfo(m_segments.first().path).fileName())));
            return {};
        }
        files.append(segment.path);
    }
    return files;
}

} // namespace lq
