#pragma once

#include "platform/foundation/Error.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

class QObject;

namespace lq {

// Four-character codec ids, as movie files name their sample formats.
namespace CodecId {
inline const QString kAac = QStringLiteral("aac ");
inline const QString kAlac = QStringLiteral("alac");
inline const QString kLinearPcm = QStringLiteral("lpcm");
inline const QString kMp3 = QStringLiteral(".mp3");
inline const QString kH264 = QStringLiteral("avc1");
inline const QString kMpeg4Video = QStringLiteral("mp4v");
} // namespace CodecId

struct AudioStreamInfo
{
    QString codec; // empty when the codec has no id here
    QString caps;
    int channels = 0;
    int sampleRate = 0;
};

struct VideoStreamInfo
{
    QString codec; // empty when the codec has no id here
    QString caps;
    int width = 0;
    int height = 0;
};

struct ProbeResult;

// What a media file holds, as GStreamer's discoverer reads it.
class MediaInfo
{
public:
    // Reads path synchronously, giving up after timeLimit. A missing, unreadable, non-media or
    // broken file answers nothing and an error.
    static std::optional<MediaInfo> probe(const QString &path, std::chrono::milliseconds timeLimit,
                                          Error *error);
    // Reads paths at once on worker threads, each as probe() does, and hands the answers, in the
    // order of paths, to done on the main thread, from its event loop (also for no path at all).
    // done is dropped when context is gone by then. Needs an application object.
    static void probeInBackground(const QStringList &paths, std::chrono::milliseconds timeLimit,
                                  const QObject *context,
                                  std::function<void(const QList<ProbeResult> &)> done);

    // The fourcc-like id for a stream's caps; empty when there is none.
    static QString codecIdForCaps(const QString &caps);

    double duration = 0.0; // seconds
    // The caps name of the outermost format, e.g. "video/quicktime"; for a bare stream such as
    // an MP3 file, the stream's own caps name.
    QString container;
    QList<AudioStreamInfo> audioStreams;
    QList<VideoStreamInfo> videoStreams;
    // Whether some stream could not be read because a GStreamer plugin is not installed.
    bool missingPlugins = false;
};

struct ProbeResult
{
    QString path;
    std::optional<MediaInfo> info; // nothing when the file could not be read
    Error error;
};

} // namespace lq
