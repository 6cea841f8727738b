#include "platform/media/MovieTimeline.h"

#include "platform/media/FrameGrabber.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

namespace lq {
namespace {

const QString kFormat = QStringLiteral("lumaquill-timeline");
constexpr int kVersion = 1;

enum ErrorCode { NotWritten = 70, NotRead };

const QStringList kKindNames{QStringLiteral("media"), QStringLiteral("silence"),
                             QStringLiteral("black"), QStringLiteral("missing")};

QJsonObject infoToJson(const MediaInfo &info)
{
    QJsonArray audio;
    for (const AudioStreamInfo &stream : info.audioStreams) {
        audio.append(QJsonObject{{QStringLiteral("codec"), stream.codec},
                                 {QStringLiteral("caps"), stream.caps},
                                 {QStringLiteral("channels"), stream.channels},
                                 {QStringLiteral("rate"), stream.sampleRate}});
    }
    QJsonArray video;
    for (const VideoStreamInfo &stream : info.videoStreams) {
        video.append(QJsonObject{{QStringLiteral("codec"), stream.codec},
                                 {QStringLiteral("caps"), stream.caps},
                                 {QStringLiteral("width"), stream.width},
                                 {QStringLiteral("height"), stream.height}});
    }
    return {{QStringLiteral("duration"), info.duration},
            {QStringLiteral("container"), info.container},
            {QStringLiteral("audio"), audio},
            {QStringLiteral("video"), video},
            {QStringLiteral("missingPlugins"), info.missingPlugins}};
}

MediaInfo infoFromJson(const QJsonObject &object)
{
    MediaInfo info;
    info.duration = object.value(QStringLiteral("duration")).toDouble();
    info.container = object.value(QStringLiteral("container")).toString();
    info.missingPlugins = object.value(QStringLiteral("missingPlugins")).toBool();
    for (const QJsonValue &value : object.value(QStringLiteral("audio")).toArray()) {
        const QJsonObject stream = value.toObject();
        info.audioStreams.append({stream.value(QStringLiteral("codec")).toString(),
                                  stream.value(QStringLiteral("caps")).toString(),
                                  stream.value(QStringLiteral("channels")).toInt(),
                                  stream.value(QStringLiteral("rate")).toInt()});
    }
    for (const QJsonValue &value : object.value(QStringLiteral("video")).toArray()) {
        const QJsonObject stream = value.toObject();
        info.videoStreams.append({stream.value(QStringLiteral("codec")).toString(),
                                  stream.value(QStringLiteral("caps")).toString(),
                                  stream.value(QStringLiteral("width")).toInt(),
                                  stream.value(QStringLiteral("height")).toInt()});
    }
    return info;
}

} // namespace

void MovieTimeline::append(TimelineSegment segment)
{
    segment.start = duration();
    m_segments.append(std::move(segment));
}

void MovieTimeline::appendMedia(const QString &path, const MediaInfo &info)
{
    TimelineSegment segment;
    segment.path = path;
    segment.info = info;
    segment.duration = info.duration;
    segment.hasPicture = !info.videoStreams.isEmpty();
    if (segment.hasPicture) {
        const VideoStreamInfo &video = info.videoStreams.first();
        segment.pictureSize = QSize(video.width, video.height);
        m_pictureSeen = true;
    }
    append(segment);
}

void MovieTimeline::appendFiller(double seconds)
{
    TimelineSegment segment;
    segment.kind = m_pictureSeen ? TimelineSegment::Kind::Black : TimelineSegment::Kind::Silence;
    segment.duration = seconds;
    append(segment);
}

void MovieTimeline::appendMissing(double seconds)
{
    TimelineSegment segment;
    segment.kind = TimelineSegment::Kind::Missing;
    segment.duration = seconds;
    append(segment);
}

double MovieTimeline::duration() const
{
    return m_segments.isEmpty() ? 0.0 : m_segments.last().start + m_segments.last().duration;
}

std::optional<QSize> MovieTimeline::naturalSize() const
{
    for (const TimelineSegment &segment : m_segments) {
        if (segment.hasPicture)
            return segment.pictureSize;
    }
    return std::nullopt;
}

QList<QSize> MovieTimeline::pictureSizes() const
{
    QList<QSize> sizes;
    for (const TimelineSegment &segment : m_segments) {
        if (segment.hasPicture)
            sizes.append(segment.pictureSize);
    }
    return sizes;
}

void MovieTimeline::setPictureSizes(const QList<QSize> &sizes)
{
    qsizetype next = 0;
    for (TimelineSegment &segment : m_segments) {
        if (segment.hasPicture && next < sizes.size())
            segment.pictureSize = sizes[next++];
    }
}

void MovieTimeline::setCurrentTime(double seconds)
{
    const double time = std::clamp(seconds, 0.0, duration());
    if (time == m_currentTime)
        return;
    m_currentTime = time;
    Q_EMIT currentTimeChanged(time);
}

QImage MovieTimeline::frameAt(double seconds, Error *error) const
{
    const std::optional<QSize> natural = naturalSize();
    if (!natural)
        return {};
    const auto segment =
        std::find_if(m_segments.cbegin(), m_segments.cend(), [&](const TimelineSegment &s) {
            return seconds < s.start + s.duration || &s == &m_segments.last();
        });
    if (segment != m_segments.cend() && segment->hasPicture) {
        const double into = std::clamp(seconds - segment->start, 0.0, segment->duration);
        QImage picture = FrameGrabber::frameAt(segment->path, into, error);
        if (picture.isNull() || picture.size() == segment->pictureSize ||
            segment->pictureSize.isEmpty())
            return picture;
        return picture.scaled(segment->pictureSize, Qt::IgnoreAspectRatio,
                              Qt::SmoothTransformation);
    }
    QImage black(natural->isEmpty() ? QSize(1, 1) : *natural, QImage::Format_RGBX8888);
    black.fill(Qt::black);
    return black;
}

MediaComposition MovieTimeline::composition(const QString &silencePath,
                                            const MediaInfo &silence) const
{
    MediaComposition composition;
    for (const TimelineSegment &segment : m_segments) {
        if (segment.kind == TimelineSegment::Kind::Media)
            composition.appendFile(segment.path, segment.info);
        else
            composition.appendGap(segment.duration, silencePath, silence);
    }
    return composition;
}

bool MovieTimeline::write(const QString &path, Error *error) const
{
    QJsonArray segments;
    for (const TimelineSegment &segment : m_segments) {
        QJsonObject object{{QStringLiteral("kind"), kKindNames.value(int(segment.kind))},
                           {QStringLiteral("duration"), segment.duration}};
        if (segment.kind == TimelineSegment::Kind::Media) {
            object.insert(QStringLiteral("path"), segment.path);
            object.insert(QStringLiteral("info"), infoToJson(segment.info));
            object.insert(QStringLiteral("width"), segment.pictureSize.width());
            object.insert(QStringLiteral("height"), segment.pictureSize.height());
        }
        segments.append(object);
    }
    const QJsonObject root{{QStringLiteral("format"), kFormat},
                           {QStringLiteral("version"), kVersion},
                           {QStringLiteral("segments"), segments}};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(root).toJson(QJsonDocument::Compact)) < 0 || !file.commit()) {
        setError(error, Error(QStringLiteral("media"), NotWritten,
                              QStringLiteral("The timeline could not be written to %1: %2")
                                  .arg(path, file.errorString())));
        return false;
    }
    return true;
}

std::unique_ptr<MovieTimeline> MovieTimeline::read(const QString &path, Error *error)
{
    const auto failed = [&](const QString &reason) {
        setError(error,
                 Error(QStringLiteral("media"), NotRead,
                       QStringLiteral("The timeline %1 could not be read: %2").arg(path, reason)));
        return nullptr;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(file.errorString());
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    if (root.value(QStringLiteral("format")).toString() != kFormat ||
        root.value(QStringLiteral("version")).toInt() != kVersion)
        return failed(QStringLiteral("it is not a timeline."));
    auto timeline = std::make_unique<MovieTimeline>();
    for (const QJsonValue &value : root.value(QStringLiteral("segments")).toArray()) {
        const QJsonObject object = value.toObject();
        const qsizetype kind = kKindNames.indexOf(object.value(QStringLiteral("kind")).toString());
        const double duration = object.value(QStringLiteral("duration")).toDouble(-1.0);
        if (kind < 0 || duration < 0.0)
            return failed(QStringLiteral("a stretch is damaged."));
        TimelineSegment segment;
        segment.kind = TimelineSegment::Kind(kind);
        segment.duration = duration;
        if (segment.kind == TimelineSegment::Kind::Media) {
            segment.path = object.value(QStringLiteral("path")).toString();
            segment.info = infoFromJson(object.value(QStringLiteral("info")).toObject());
            segment.hasPicture = !segment.info.videoStreams.isEmpty();
            segment.pictureSize = QSize(object.value(QStringLiteral("width")).toInt(),
                                        object.value(QStringLiteral("height")).toInt());
            timeline->m_pictureSeen = timeline->m_pictureSeen || segment.hasPicture;
        }
        timeline->append(segment);
    }
    return timeline;
}

} // namespace lq
