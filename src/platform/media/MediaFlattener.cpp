#include "platform/media/MediaFlattener.h"

#include "platform/foundation/FileOperations.h"
#include "platform/foundation/ThreadHandOver.h"
#include "platform/media/GStreamer.h"
#include "platform/media/PipelineRunner.h"

#include <QFile>
#include <QFileInfo>

#include <gst/gst.h>

#include <mutex>

namespace lq {
namespace {

const QString kErrorDomain = QStringLiteral("media");

enum ErrorCode { MissingSource = 30, NoStreams, BranchFailed };

// Unbounded queues before the muxer: an encoder holding back frames must not stall the other
// streams of the same demuxer.
constexpr const char *kQueue = "queue max-size-buffers=0 max-size-bytes=0 max-size-time=0";
constexpr const char *kAudioEncoder =
    "decodebin name=in ! audioconvert ! audioresample ! avenc_aac";
// Without I420, x264enc picks a 4:4:4 profile that few players take.
constexpr const char *kVideoEncoder =
    "decodebin name=in ! videoconvert ! video/x-raw,format=I420 ! x264enc speed-preset=veryfast";

struct Flattening
{
    GstElement *pipeline = nullptr;
    GstElement *mux = nullptr;
    std::mutex mutex;
    int branches = 0;
};

void postFailure(Flattening *flattening, const QString &message)
{
    GError *failure =
        g_error_new_literal(GST_CORE_ERROR, GST_CORE_ERROR_FAILED, message.toUtf8().constData());
    gst_element_post_message(
        flattening->pipeline,
        gst_message_new_error(GST_OBJECT(flattening->pipeline), failure, nullptr));
    g_error_free(failure);
}

// The muxer's pad template for a stream, "audio_%u" or "video_%u"; nullptr for other streams.
const char *muxPadTemplate(const GstCaps *caps)
{
    const gchar *name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    if (g_str_has_prefix(name, "audio/"))
        return "audio_%u";
    if (g_str_has_prefix(name, "video/") || g_str_has_prefix(name, "image/"))
        return "video_%u";
    return nullptr;
}

bool muxTakes(GstElement *mux, const char *templateName, const GstCaps *caps)
{
    GstPadTemplate *padTemplate =
        gst_element_class_get_pad_template(GST_ELEMENT_GET_CLASS(mux), templateName);
    GstCaps *accepted = gst_pad_template_get_caps(padTemplate);
    const bool takes = gst_caps_can_intersect(caps, accepted);
    gst_caps_unref(accepted);
    return takes;
}

QString branchDescription(bool copied, bool audio)
{
    if (copied)
        return QStringLiteral("%1 name=out").arg(QLatin1String(kQueue));
    return QStringLiteral("%1 ! %2 name=out")
        .arg(QLatin1String(audio ? kAudioEncoder : kVideoEncoder), QLatin1String(kQueue));
}

// A branch with its first element's sink and its last's source as its own pads. The decoder's
// source pads appear later, so the parser's automatic ghost pads cannot be used.
GstElement *makeBranch(const QString &description, Error *error)
{
    GError *failure = nullptr;
    GstElement *branch =
        gst_parse_bin_from_description(description.toUtf8().constData(), FALSE, &failure);
    if (!branch) {
        *error = Error(kErrorDomain, BranchFailed, QString::fromUtf8(failure->message));
        g_clear_error(&failure);
        return nullptr;
    }
    GstElement *last = gst_bin_get_by_name(GST_BIN(branch), "out");
    GstElement *first = gst_bin_get_by_name(GST_BIN(branch), "in");
    if (!first)
        first = GST_ELEMENT(gst_object_ref(last));
    GstPad *sink = gst_element_get_static_pad(first, "sink");
    GstPad *source = gst_element_get_static_pad(last, "src");
    gst_element_add_pad(branch, gst_ghost_pad_new("sink", sink));
    gst_element_add_pad(branch, gst_ghost_pad_new("src", source));
    gst_object_unref(sink);
    gst_object_unref(source);
    gst_object_unref(first);
    gst_object_unref(last);
    return branch;
}

// Links one demuxed sound or video stream into the muxer, copied or encoded.
bool addBranch(Flattening *flattening, GstPad *pad, const GstCaps *caps, const char *templateName,
               Error *error)
{
    const bool audio = templateName[0] == 'a';
    const bool copied = muxTakes(flattening->mux, templateName, caps);
    if (!copied && !GStreamer::hasElement(
                       audio ? QStringLiteral("avenc_aac") : QStringLiteral("x264enc"), error))
        return false;

    GstElement *branch = makeBranch(branchDescription(copied, audio), error);
    if (!branch)
        return false;
    gst_bin_add(GST_BIN(flattening->pipeline), branch);
    GstPad *muxPad = gst_element_request_pad_simple(flattening->mux, templateName);
    GstPad *branchSource = gst_element_get_static_pad(branch, "src");
    GstPad *branchSink = gst_element_get_static_pad(branch, "sink");
    const bool linked = muxPad && gst_pad_link(branchSource, muxPad) == GST_PAD_LINK_OK &&
                        gst_pad_link(pad, branchSink) == GST_PAD_LINK_OK;
    gst_object_unref(branchSource);
    gst_object_unref(branchSink);
    if (muxPad)
        gst_object_unref(muxPad);
    if (!linked) {
        *error = Error(kErrorDomain, BranchFailed,
                       QStringLiteral("A stream could not be added to the movie."));
        return false;
    }
    gst_element_sync_state_with_parent(branch);
    return true;
}

// A streaming thread's turn with the flattening, between the pipeline's start and its end, which
// order it (ThreadSanitizer cannot see that they do).
const char kStarted = 0;
const char kFinished = 0;

struct StreamingTurn
{
    StreamingTurn() { takeOver(&kStarted); }
    ~StreamingTurn()
    {
        handOver(&kFinished, [] {});
    }
    StreamingTurn(const StreamingTurn &) = delete;
    StreamingTurn &operator=(const StreamingTurn &) = delete;
};

void onPadAdded(GstElement *, GstPad *pad, gpointer data)
{
    const StreamingTurn turn;
    auto *flattening = static_cast<Flattening *>(data);
    GstCaps *caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    // Subtitles, timecodes and the like stay out of the movie.
    const char *templateName =
        gst_caps_is_empty(caps) || gst_caps_is_any(caps) ? nullptr : muxPadTemplate(caps);
    if (!templateName) {
        gst_caps_unref(caps);
        return;
    }
    const std::lock_guard lock(flattening->mutex);
    Error error;
    if (addBranch(flattening, pad, caps, templateName, &error)) {
        ++flattening->branches;
    } else {
        postFailure(flattening, error.localizedDescription());
    }
    gst_caps_unref(caps);
}

void onNoMorePads(GstElement *, gpointer data)
{
    const StreamingTurn turn;
    auto *flattening = static_cast<Flattening *>(data);
    const std::lock_guard lock(flattening->mutex);
    if (flattening->branches == 0)
        postFailure(flattening, QStringLiteral("it holds no audio or video"));
}

GstElement *makeElement(GstElement *pipeline, const char *factory, const QString &location = {})
{
    GstElement *element = gst_element_factory_make(factory, nullptr);
    if (!location.isEmpty())
        g_object_set(element, "location", QFile::encodeName(location).constData(), nullptr);
    gst_bin_add(GST_BIN(pipeline), element);
    return element;
}

} // namespace

bool MediaFlattener::flatten(const QString &source, const QString &destination,
                             std::chrono::milliseconds timeLimit, Error *error)
{
    for (const char *element : {"filesrc", "parsebin", "qtmux", "filesink"}) {
        if (!GStreamer::hasElement(QString::fromLatin1(element), error))
            return false;
    }
    if (!QFileInfo(source).isFile()) {
        setError(error, Error(kErrorDomain, MissingSource,
                              QStringLiteral("The media file “%1” does not exist.")
                                  .arg(QFileInfo(source).fileName())));
        return false;
    }

    const QString temporaryPath = temporaryPathBeside(destination);
    Flattening flattening;
    flattening.pipeline = gst_pipeline_new(nullptr);
    GstElement *reader = makeElement(flattening.pipeline, "filesrc", source);
    GstElement *demuxer = makeElement(flattening.pipeline, "parsebin");
    flattening.mux = makeElement(flattening.pipeline, "qtmux");
    GstElement *writer = makeElement(flattening.pipeline, "filesink", temporaryPath);
    gst_element_link(reader, demuxer);
    gst_element_link(flattening.mux, writer);
    g_signal_connect(demuxer, "pad-added", G_CALLBACK(onPadAdded), &flattening);
    g_signal_connect(demuxer, "no-more-pads", G_CALLBACK(onNoMorePads), &flattening);

    const QString failurePrefix =
        QStringLiteral("Could not write “%1” as a movie").arg(QFileInfo(destination).fileName());
    handOver(&kStarted, [] {});
    bool written = PipelineRunner::run(flattening.pipeline, timeLimit, failurePrefix, error);
    takeOver(&kFinished);
    gst_object_unref(flattening.pipeline);

    if (written)
        written = FileOperations::current().replace(temporaryPath, destination, error);
    if (!written && FileOperations::current().exists(temporaryPath))
        FileOperations::current().remove(temporaryPath, nullptr);
    return written;
}

} // namespace lq
