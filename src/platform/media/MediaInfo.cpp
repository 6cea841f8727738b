#include "platform/media/MediaInfo.h"

#include "platform/foundation/ThreadHandOver.h"
#include "platform/media/FragmentedMovie.h"
#include "platform/media/GStreamer.h"
#include "platform/media/MovieIndex.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QThreadPool>
#include <QUrl>

#include <gst/pbutils/pbutils.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

namespace lq {
namespace {

const QString kErrorDomain = QStringLiteral("media");

enum ErrorCode { MissingFile = 10, NotMedia, TimedOut };

struct CodecMapping
{
    const char *capsName;
    const char *field; // nullptr: the caps name alone decides
    int value;
    const QString &id;
};

const QString kAc3 = QStringLiteral("ac-3");
const QString kOpus = QStringLiteral("Opus");
const QString kHevc = QStringLiteral("hvc1");
const QString kJpeg = QStringLiteral("jpeg");

const CodecMapping kCodecMappings[] = {
    {"audio/mpeg", "mpegversion", 4, CodecId::kAac},
    {"audio/mpeg", "mpegversion", 2, CodecId::kAac},
    {"audio/mpeg", "layer", 3, CodecId::kMp3},
    {"audio/x-alac", nullptr, 0, CodecId::kAlac},
    {"audio/x-raw", nullptr, 0, CodecId::kLinearPcm},
    // The discoverer names uncompressed WAV and AIFF sound by its file format.
    {"audio/x-wav", nullptr, 0, CodecId::kLinearPcm},
    {"audio/x-aiff", nullptr, 0, CodecId::kLinearPcm},
    {"audio/x-ac3", nullptr, 0, kAc3},
    {"audio/x-opus", nullptr, 0, kOpus},
    {"video/x-h264", nullptr, 0, CodecId::kH264},
    {"video/x-h265", nullptr, 0, kHevc},
    {"video/mpeg", "mpegversion", 4, CodecId::kMpeg4Video},
    {"image/jpeg", nullptr, 0, kJpeg},
};

QString codecIdForStructure(const GstStructure *structure)
{
    for (const CodecMapping &mapping : kCodecMappings) {
        if (!gst_structure_has_name(structure, mapping.capsName))
            continue;
        int value = 0;
        if (!mapping.field ||
            (gst_structure_get_int(structure, mapping.field, &value) && value == mapping.value))
            return mapping.id;
    }
    return {};
}

QString capsString(GstCaps *caps)
{
    gchar *text = gst_caps_to_string(caps);
    const QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

QString outermostFormat(GstDiscovererInfo *info)
{
    GstDiscovererStreamInfo *top = gst_discoverer_info_get_stream_info(info);
    if (!top)
        return {};
    GstCaps *caps = gst_discoverer_stream_info_get_caps(top);
    QString name;
    if (caps && !gst_caps_is_empty(caps))
        name = QString::fromUtf8(gst_structure_get_name(gst_caps_get_structure(caps, 0)));
    if (caps)
        gst_caps_unref(caps);
    gst_discoverer_stream_info_unref(top);
    return name;
}

// The stream's caps with its first structure; nullptr when it has none.
GstCaps *streamCaps(GstDiscovererStreamInfo *stream)
{
    GstCaps *caps = gst_discoverer_stream_info_get_caps(stream);
    if (caps && gst_caps_is_empty(caps)) {
        gst_caps_unref(caps);
        return nullptr;
    }
    return caps;
}

template <class Info>
QList<Info> readStreams(GList *streams, void (*fill)(Info &, GstDiscovererStreamInfo *))
{
    QList<Info> result;
    for (GList *item = streams; item; item = item->next) {
        auto *stream = GST_DISCOVERER_STREAM_INFO(item->data);
        GstCaps *caps = streamCaps(stream);
        Info info;
        if (caps) {
            const GstStructure *structure = gst_caps_get_structure(caps, 0);
            info.codec = codecIdForStructure(structure);
            info.caps = capsString(caps);
            gst_caps_unref(caps);
        }
        fill(info, stream);
        result.append(info);
    }
    gst_discoverer_stream_info_list_free(streams);
    return result;
}

void fillAudio(AudioStreamInfo &info, GstDiscovererStreamInfo *stream)
{
    auto *audio = GST_DISCOVERER_AUDIO_INFO(stream);
    info.channels = int(gst_discoverer_audio_info_get_channels(audio));
    info.sampleRate = int(gst_discoverer_audio_info_get_sample_rate(audio));
}

void fillVideo(VideoStreamInfo &info, GstDiscovererStreamInfo *stream)
{
    auto *video = GST_DISCOVERER_VIDEO_INFO(stream);
    info.width = int(gst_discoverer_video_info_get_width(video));
    info.height = int(gst_discoverer_video_info_get_height(video));
}

Error probeError(int code, const QString &message)
{
    return Error(kErrorDomain, code, message);
}

Error resultError(GstDiscovererResult result, const QString &path, const GError *failure)
{
    const QString name = QFileInfo(path).fileName();
    if (result == GST_DISCOVERER_TIMEOUT)
        return probeError(TimedOut,
                          QStringLiteral("Reading the media file “%1” took too long.").arg(name));
    const QString reason = failure ? QString::fromUtf8(failure->message).trimmed() : QString();
    QString message = QStringLiteral("The file “%1” could not be read as audio or video").arg(name);
    if (!reason.isEmpty())
        message += QStringLiteral(": ") + reason;
    if (!message.endsWith(QLatin1Char('.')))
        message += QLatin1Char('.');
    return probeError(NotMedia, message);
}

// The codec ids of the sample entries a movie names.
const std::pair<const char *, const QString &> kSampleEntryCodecs[] = {
    {"mp4a", CodecId::kAac},       {"alac", CodecId::kAlac},       {"lpcm", CodecId::kLinearPcm},
    {"sowt", CodecId::kLinearPcm}, {"twos", CodecId::kLinearPcm},  {".mp3", CodecId::kMp3},
    {"avc1", CodecId::kH264},      {"mp4v", CodecId::kMpeg4Video},
};

// A movie whose tracks hold no samples, as a cut at its beginning leaves: the discoverer finds no
// stream in it (and at times misses its own error about that until its time limit), yet it is a
// movie of no length with those tracks.
std::optional<MediaInfo> emptyMovie(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const movie::MovieLayout layout = movie::readMovieLayout(file);
    if (!layout.fragments.isEmpty())
        return std::nullopt;
    const std::optional<QList<movie::MovieTrack>> tracks = movie::readMovieTracks(file, layout);
    if (!tracks || std::any_of(tracks->begin(), tracks->end(),
                               [](const movie::MovieTrack &track) { return track.decodeEnd > 0; }))
        return std::nullopt;
    MediaInfo info;
    info.container = QStringLiteral("video/quicktime");
    for (const movie::MovieTrack &track : *tracks) {
        const QList<movie::Box> entries =
            movie::childBoxes(layout.moov, track.stsd.content + 8, track.stsd.end);
        QString codec;
        for (const auto &[type, id] : kSampleEntryCodecs) {
            if (!entries.isEmpty() && entries.first().type == type)
                codec = id;
        }
        if (track.handler == "soun")
            info.audioStreams.append(AudioStreamInfo{codec, {}, 0, 0});
        else if (track.handler == "vide")
            info.videoStreams.append(VideoStreamInfo{codec, {}, 0, 0});
    }
    if (info.audioStreams.isEmpty() && info.videoStreams.isEmpty())
        return std::nullopt;
    return info;
}

// The length a paused pipeline answers for uri. Streams without an index (MP3 without its header
// of lengths) are measured by their parser from the first frames, which the discoverer does not
// always wait for: the query is asked again until the limit.
constexpr std::chrono::milliseconds kLengthQueryLimit{2000};

double pausedDuration(const QByteArray &uri, std::chrono::milliseconds timeLimit)
{
    GstElement *player = gst_element_factory_make("playbin", nullptr);
    if (!player)
        return 0;
    for (const char *sink : {"audio-sink", "video-sink"})
        g_object_set(player, sink, gst_element_factory_make("fakesink", nullptr), nullptr);
    g_object_set(player, "uri", uri.constData(), nullptr);
    gint64 length = 0;
    const auto deadline = std::chrono::steady_clock::now() + timeLimit;
    if (gst_element_set_state(player, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE &&
        gst_element_get_state(player, nullptr, nullptr,
                              GstClockTime(std::chrono::nanoseconds(timeLimit).count())) ==
            GST_STATE_CHANGE_SUCCESS) {
        while (!gst_element_query_duration(player, GST_FORMAT_TIME, &length) || length <= 0) {
            if (std::chrono::steady_clock::now() >= deadline)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    gst_element_set_state(player, GST_STATE_NULL);
    gst_object_unref(player);
    return length > 0 ? double(length) / GST_SECOND : 0;
}

} // namespace

QString MediaInfo::codecIdForCaps(const QString &caps)
{
    if (!GStreamer::initialize())
        return {};
    GstCaps *parsed = gst_caps_from_string(caps.toUtf8().constData());
    if (!parsed)
        return {};
    QString id;
    if (!gst_caps_is_empty(parsed) && !gst_caps_is_any(parsed))
        id = codecIdForStructure(gst_caps_get_structure(parsed, 0));
    gst_caps_unref(parsed);
    return id;
}

std::optional<MediaInfo> MediaInfo::probe(const QString &path, std::chrono::milliseconds timeLimit,
                                          Error *error)
{
    if (!GStreamer::initialize(error))
        return std::nullopt;
    const QFileInfo file(path);
    if (!file.isFile()) {
        setError(
            error,
            probeError(MissingFile,
                       QStringLiteral("The media file “%1” does not exist.").arg(file.fileName())));
        return std::nullopt;
    }
    if (std::optional<MediaInfo> empty = emptyMovie(path))
        return empty;

    GError *failure = nullptr;
    GstDiscoverer *discoverer =
        gst_discoverer_new(GstClockTime(std::chrono::nanoseconds(timeLimit).count()), &failure);
    if (!discoverer) {
        setError(error, resultError(GST_DISCOVERER_ERROR, path, failure));
        g_clear_error(&failure);
        return std::nullopt;
    }
    const QByteArray uri = QUrl::fromLocalFile(file.absoluteFilePath()).toEncoded();
    GstDiscovererInfo *discovered =
        gst_discoverer_discover_uri(discoverer, uri.constData(), &failure);
    g_object_unref(discoverer);

    const GstDiscovererResult result =
        discovered ? gst_discoverer_info_get_result(discovered) : GST_DISCOVERER_ERROR;
    std::optional<MediaInfo> info;
    if (result == GST_DISCOVERER_OK || result == GST_DISCOVERER_MISSING_PLUGINS) {
        info.emplace();
        info->duration = double(gst_discoverer_info_get_duration(discovered)) / GST_SECOND;
        // A movie cut off while recording tells only its first fragment's length.
        if (const std::optional<double> fragments = FragmentedMovie::playableDuration(path))
            info->duration = std::max(info->duration, *fragments);
        info->container = outermostFormat(discovered);
        info->audioStreams = readStreams<AudioStreamInfo>(
            gst_discoverer_info_get_audio_streams(discovered), fillAudio);
        info->videoStreams = readStreams<VideoStreamInfo>(
            gst_discoverer_info_get_video_streams(discovered), fillVideo);
        if (info->duration <= 0 && !info->audioStreams.isEmpty())
            info->duration = pausedDuration(uri, std::min(timeLimit, kLengthQueryLimit));
        info->missingPlugins = result == GST_DISCOVERER_MISSING_PLUGINS;
        if (info->audioStreams.isEmpty() && info->videoStreams.isEmpty() && !info->missingPlugins) {
            info.reset();
            setError(error, resultError(GST_DISCOVERER_ERROR, path, nullptr));
        }
    } else {
        setError(error, resultError(result, path, failure));
    }
    g_clear_error(&failure);
    if (discovered)
        gst_discoverer_info_unref(discovered);
    return info;
}

namespace {

// The answers of one background read. The workers share it without owning it: each touches it
// only before counting itself done, and the last one hands it to the main thread in a call that
// owns it, so that it ends with the call whether the call runs or is dropped unrun (when the
// application ends first).
struct ProbeBatch
{
    QList<ProbeResult> results;
    std::atomic<qsizetype> remaining;
    QPointer<const QObject> context;
    std::function<void(const QList<ProbeResult> &)> done;

    static void deliver(ProbeBatch *batch)
    {
        // The context can only go on the main thread, where it is checked.
        static const char token = 0;
        handOver(&token, [&] {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [owned = std::unique_ptr<ProbeBatch>(batch)] {
                    takeOver(&token);
                    if (owned->context)
                        owned->done(owned->results);
                },
                Qt::QueuedConnection);
        });
    }
};

} // namespace

void MediaInfo::probeInBackground(const QStringList &paths, std::chrono::milliseconds timeLimit,
                                  const QObject *context,
                                  std::function<void(const QList<ProbeResult> &)> done)
{
    auto batch = std::make_unique<ProbeBatch>();
    batch->remaining = paths.size();
    batch->context = context;
    batch->done = std::move(done);
    for (const QString &path : paths)
        batch->results.append(ProbeResult{path, std::nullopt, Error()});
    if (paths.isEmpty()) {
        ProbeBatch::deliver(batch.release());
        return;
    }
    ProbeBatch *shared = batch.release();
    for (qsizetype i = 0; i < paths.size(); ++i) {
        // Each worker writes only its own entry, which the container does not move meanwhile.
        ProbeResult *result = &shared->results[i];
        static const char token = 0;
        handOver(&token, [&] {
            QThreadPool::globalInstance()->start([shared, result, timeLimit] {
                takeOver(&token);
                result->info = probe(result->path, timeLimit, &result->error);
                if (shared->remaining.fetch_sub(1, std::memory_order_acq_rel) == 1)
                    ProbeBatch::deliver(shared);
            });
        });
    }
}

} // namespace lq
