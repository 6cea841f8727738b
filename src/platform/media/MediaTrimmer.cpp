#include "platform/media/MediaTrimmer.h"

#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ThreadHandOver.h"
#include "platform/media/MediaInfo.h"
#include "platform/media/MovieCutter.h"
#include "platform/media/MovieEncoding.h"

#include <QFile>
#include <QFileInfo>

#include <gst/audio/audio.h>
#include <gst/gst.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <utility>
#include <vector>

namespace lq {
namespace {

using movie_encoding::indexOf;
using movie_encoding::kKinds;
using movie_encoding::StreamKind;

enum ErrorCode { NoSources = 40, BadLength, NoStreams, WriteFailed };

// How far the length a copied cut reads back with may be from the one written: a picture.
constexpr double kOneFrame = 1.0 / 25;

// Ends one joined stream at the cut: what starts before it passes (the last piece shortened to
// end there), and the first buffer at or after it ends the stream. The joined files' timestamps
// each start again at 0 in a segment placed after the ones before; the encoders get them as one
// run from 0 instead.
struct Cut
{
    StreamKind kind = StreamKind::Audio;
    GstClockTime at = 0; // running time
    GstSegment segment{};
    GstAudioInfo audio{};
    bool segmentSent = false;
    // Each joined file's data comes on its decoder's thread; the joiner passes one file at a
    // time, but by locks of its own. Recursive: the end pushed at the cut passes the probe too.
    std::recursive_mutex mutex;
};

GstBuffer *shortened(GstBuffer *buffer, const Cut &cut, GstClockTime kept)
{
    if (cut.kind == StreamKind::Audio && GST_AUDIO_INFO_RATE(&cut.audio) > 0) {
        const guint64 samples =
            gst_util_uint64_scale_round(kept, guint64(GST_AUDIO_INFO_RATE(&cut.audio)), GST_SECOND);
        return gst_audio_buffer_truncate(buffer, GST_AUDIO_INFO_BPF(&cut.audio), 0, samples);
    }
    GST_BUFFER_DURATION(buffer) = kept;
    return buffer;
}

GstPadProbeReturn cutBuffer(GstPad *pad, GstPadProbeInfo *info, Cut *cut)
{
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    // GStreamer recycles buffers between its threads out of ThreadSanitizer's sight: each buffer
    // is taken over before it is touched here and handed over once it is let go.
    takeOver(buffer);
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    handOver(buffer);
    const GstClockTime start = gst_segment_to_running_time(&cut->segment, GST_FORMAT_TIME, pts);
    if (!GST_CLOCK_TIME_IS_VALID(start))
        return GST_PAD_PROBE_OK;
    if (start >= cut->at) {
        gst_pad_push_event(pad, gst_event_new_eos());
        gst_buffer_unref(buffer);
        GST_PAD_PROBE_INFO_FLOW_RETURN(info) = GST_FLOW_EOS;
        return GST_PAD_PROBE_HANDLED;
    }
    buffer = gst_buffer_make_writable(buffer);
    takeOver(buffer);
    GST_BUFFER_PTS(buffer) = start;
    GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
    const GstClockTime duration = GST_BUFFER_DURATION(buffer);
    handOver(buffer);
    if (GST_CLOCK_TIME_IS_VALID(duration) && start + duration > cut->at)
        buffer = shortened(buffer, *cut, cut->at - start);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    if (!buffer)
        return GST_PAD_PROBE_DROP;
    handOver(buffer);
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn onJoinedData(GstPad *pad, GstPadProbeInfo *info, gpointer data)
{
    const movie_encoding::StreamingTurn turn;
    auto *cut = static_cast<Cut *>(data);
    const std::lock_guard lock(cut->mutex);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER)
        return cutBuffer(pad, info, cut);
    GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
        gst_event_copy_segment(event, &cut->segment);
        if (std::exchange(cut->segmentSent, true))
            return GST_PAD_PROBE_DROP;
        GstSegment fromZero;
        gst_segment_init(&fromZero, GST_FORMAT_TIME);
        gst_event_unref(event);
        GST_PAD_PROBE_INFO_DATA(info) = gst_event_new_segment(&fromZero);
    } else if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS && cut->kind == StreamKind::Audio) {
        GstCaps *caps = nullptr;
        gst_event_parse_caps(event, &caps);
        gst_audio_info_from_caps(&cut->audio, caps);
    }
    return GST_PAD_PROBE_OK;
}

// One source file: its decoder and the joiner's pad waiting for each kind of stream it holds.
using Source = movie_encoding::JoinedSource;

void onDecodedPad(GstElement *, GstPad *pad, gpointer data)
{
    const movie_encoding::StreamingTurn turn;
    movie_encoding::linkToJoiner(pad, *static_cast<Source *>(data));
}

struct Trimming
{
    GstElement *pipeline = nullptr;
    GstElement *mux = nullptr;
    std::array<GstElement *, 2> joiners{};
    std::array<Cut, 2> cuts{};
    std::vector<Source> sources;
    std::mutex mutex;

    ~Trimming()
    {
        for (Source &source : sources) {
            for (GstPad *pad : source.joinerPads) {
                if (pad)
                    gst_object_unref(pad);
            }
        }
    }
};

// Which kinds of stream each source holds; false with an error when one is no media or none
// holds sound or video.
bool readKinds(const QStringList &sources, std::vector<std::array<bool, 2>> *kinds, Error *error)
{
    bool any = false;
    for (const QString &path : sources) {
        const std::optional<MediaInfo> info =
            MediaInfo::probe(path, std::chrono::seconds(10), error);
        if (!info)
            return false;
        const std::array<bool, 2> has{!info->audioStreams.isEmpty(), !info->videoStreams.isEmpty()};
        any = any || has[0] || has[1];
        kinds->push_back(has);
    }
    if (!any) {
        setError(error, Error(movie_encoding::kErrorDomain, NoStreams,
                              QStringLiteral("The media files hold no audio or video.")));
    }
    return any;
}

// The joiner, cut and encoder of one kind of stream, ending in the muxer.
bool addJoinedStream(Trimming &trimming, StreamKind kind, GstClockTime at, Error *error)
{
    const size_t index = indexOf(kind);
    if (!movie_encoding::hasEncoder(kind, error))
        return false;
    GstElement *joiner = movie_encoding::addElement(trimming.pipeline, "concat");
    trimming.joiners[index] = joiner;
    Cut &cut = trimming.cuts[index];
    cut.kind = kind;
    cut.at = at;
    gst_segment_init(&cut.segment, GST_FORMAT_TIME);
    gst_audio_info_init(&cut.audio);
    GstPad *joined = gst_element_get_static_pad(joiner, "src");
    gst_pad_add_probe(
        joined, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        onJoinedData, &cut, nullptr);
    GstElement *branch =
        movie_encoding::makeBranch(movie_encoding::encoderDescription(kind), error);
    const bool linked = branch && movie_encoding::linkThroughBranch(trimming.pipeline, trimming.mux,
                                                                    kind, joined, branch, error);
    gst_object_unref(joined);
    return linked;
}

// Decodes the sources, cuts the joined streams and encodes them again.
bool encodeCut(const QStringList &sources, double seconds, const QString &destination,
               std::chrono::milliseconds timeLimit, Error *error)
{
    if (!movie_encoding::hasElements({"filesrc", "decodebin", "concat", "qtmux", "filesink"},
                                     error))
        return false;
    std::vector<std::array<bool, 2>> kinds;
    if (!readKinds(sources, &kinds, error))
        return false;

    const QString temporaryPath = temporaryPathBeside(destination);
    Trimming trimming;
    trimming.pipeline = gst_pipeline_new(nullptr);
    trimming.mux = movie_encoding::addElement(trimming.pipeline, "qtmux");
    gst_element_link(trimming.mux,
                     movie_encoding::addElement(trimming.pipeline, "filesink", temporaryPath));
    const auto at = GstClockTime(std::llround(seconds * double(GST_SECOND)));
    for (StreamKind kind : kKinds) {
        const size_t index = indexOf(kind);
        const bool present = std::any_of(kinds.cbegin(), kinds.cend(),
                                         [index](const auto &has) { return has[index]; });
        if (present && !addJoinedStream(trimming, kind, at, error)) {
            gst_object_unref(trimming.pipeline);
            return false;
        }
    }
    // The joiners play their pads in the order they were asked for: the files' order.
    trimming.sources.resize(size_t(sources.size()));
    for (size_t i = 0; i < trimming.sources.size(); ++i) {
        Source &source = trimming.sources[i];
        source.pipeline = trimming.pipeline;
        source.mutex = &trimming.mutex;
        for (size_t k = 0; k < kKinds.size(); ++k) {
            if (kinds[i][k])
                source.joinerPads[k] =
                    gst_element_request_pad_simple(trimming.joiners[k], "sink_%u");
        }
        GstElement *reader =
            movie_encoding::addElement(trimming.pipeline, "filesrc", sources[qsizetype(i)]);
        GstElement *decoder = movie_encoding::addElement(trimming.pipeline, "decodebin");
        gst_element_link(reader, decoder);
        g_signal_connect(decoder, "pad-added", G_CALLBACK(onDecodedPad), &source);
    }
    return movie_encoding::writeAndPublish(trimming.pipeline, temporaryPath, destination, timeLimit,
                                           error);
}

// Whether the movie at path reads back through the media probe as the one written.
bool readsAs(const QString &path, const MovieCutter::Movie &movie,
             std::chrono::milliseconds timeLimit, QString *reason)
{
    Error error;
    const std::optional<MediaInfo> info = MediaInfo::probe(path, timeLimit, &error);
    if (!info) {
        *reason = error.localizedDescription();
        return false;
    }
    *reason = QStringLiteral("it reads as %1 s long instead of %2 s, with %3 sound and %4 video "
                             "streams")
                  .arg(info->duration)
                  .arg(movie.length)
                  .arg(info->audioStreams.size())
                  .arg(info->videoStreams.size());
    return std::abs(info->duration - movie.length) <= kOneFrame &&
           (!movie.hasSound || !info->audioStreams.isEmpty()) &&
           (!movie.hasVideo || !info->videoStreams.isEmpty());
}

// Writes the cut into temporaryPath by copying the sources' samples and checks it; NotJoinable,
// with nothing left behind, when they cannot be copied or the copy does not read as written.
MovieCutter::Outcome copyCut(const QStringList &sources, double seconds,
                             const QString &temporaryPath, const QString &destination,
                             std::chrono::milliseconds timeLimit, Error *error)
{
    using Outcome = MovieCutter::Outcome;
    const QString name = QFileInfo(destination).fileName();
    QFile output(temporaryPath);
    const auto writeFailed = [&] {
        QString reason = output.errorString().trimmed();
        if (!reason.endsWith(QLatin1Char('.')))
            reason += QLatin1Char('.');
        setError(error,
                 Error(movie_encoding::kErrorDomain, WriteFailed,
                       QStringLiteral("Could not write “%1” as a movie: %2").arg(name, reason)));
        return Outcome::Failed;
    };
    if (!output.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return writeFailed();
    MovieCutter::Movie movie;
    Outcome outcome = MovieCutter::write(sources, seconds, output, name, &movie, error);
    if (outcome == Outcome::Written && !output.flush())
        outcome = writeFailed();
    output.close();
    QString reason;
    if (outcome == Outcome::Written && !readsAs(temporaryPath, movie, timeLimit, &reason)) {
        log(QStringLiteral("The media cut by copying for %1 is encoded again instead: %2\n")
                .arg(name, reason));
        outcome = Outcome::NotJoinable;
    }
    if (outcome != Outcome::Written)
        QFile::remove(temporaryPath);
    return outcome;
}

} // namespace

bool MediaTrimmer::trim(const QStringList &sources, double seconds, const QString &destination,
                        std::chrono::milliseconds timeLimit, Error *error)
{
    if (sources.isEmpty()) {
        setError(error, Error(movie_encoding::kErrorDomain, NoSources,
                              QStringLiteral("There is no media file to cut.")));
        return false;
    }
    if (!std::isfinite(seconds) || seconds < 0.0) {
        setError(error, Error(movie_encoding::kErrorDomain, BadLength,
                              QStringLiteral("The media cannot be cut at a moment before its "
                                             "beginning.")));
        return false;
    }
    const QString temporaryPath = temporaryPathBeside(destination);
    switch (copyCut(sources, seconds, temporaryPath, destination, timeLimit, error)) {
    case MovieCutter::Outcome::Written:
        break;
    case MovieCutter::Outcome::Failed:
        return false;
    case MovieCutter::Outcome::NotJoinable:
        return encodeCut(sources, seconds, destination, timeLimit, error);
    }
    FileOperations &files = FileOperations::current();
    if (files.replace(temporaryPath, destination, error))
        return true;
    files.remove(temporaryPath, nullptr);
    return false;
}

} // namespace lq
