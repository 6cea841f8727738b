#include "platform/media/MovieEncoding.h"

#include "platform/foundation/FileOperations.h"
#include "platform/foundation/ThreadHandOver.h"
#include "platform/media/GStreamer.h"
#include "platform/media/PipelineRunner.h"

#include <QFile>
#include <QFileInfo>

#include <gst/gst.h>

namespace lq::movie_encoding {
namespace {

enum ErrorCode { BranchFailed = 32 };

constexpr const char *kQueue = "queue max-size-buffers=0 max-size-bytes=0 max-size-time=0";
constexpr const char *kAudioEncoder = "audioconvert ! audioresample ! avenc_aac";
// Without I420, x264enc picks a 4:4:4 profile that few players take. Without B-frames pictures
// leave the encoder in their order, so the last one keeps a duration that a cut shortened.
constexpr const char *kVideoEncoder =
    "videoconvert ! video/x-raw,format=I420 ! x264enc speed-preset=veryfast bframes=0";

const char kStarted = 0;
const char kFinished = 0;

} // namespace

const QString kErrorDomain = QStringLiteral("media");

GstCaps *padCaps(GstPad *pad)
{
    GstCaps *caps = gst_pad_get_current_caps(pad);
    return caps ? caps : gst_pad_query_caps(pad, nullptr);
}

bool streamKindOf(const GstCaps *caps, StreamKind *kind)
{
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps))
        return false;
    const gchar *name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    if (g_str_has_prefix(name, "audio/")) {
        *kind = StreamKind::Audio;
        return true;
    }
    if (g_str_has_prefix(name, "video/") || g_str_has_prefix(name, "image/")) {
        *kind = StreamKind::Video;
        return true;
    }
    return false;
}

const char *muxPadTemplate(StreamKind kind)
{
    return kind == StreamKind::Audio ? "audio_%u" : "video_%u";
}

QString queueDescription()
{
    return QString::fromLatin1(kQueue);
}

QString encoderDescription(StreamKind kind)
{
    return QStringLiteral("%1 ! %2").arg(
        QLatin1String(kind == StreamKind::Audio ? kAudioEncoder : kVideoEncoder),
        QLatin1String(kQueue));
}

bool hasEncoder(StreamKind kind, Error *error)
{
    return kind == StreamKind::Audio
               ? hasElements({"audioconvert", "audioresample", "avenc_aac"}, error)
               : hasElements({"videoconvert", "x264enc"}, error);
}

bool hasElements(std::initializer_list<const char *> factories, Error *error)
{
    for (const char *factory : factories) {
        if (!GStreamer::hasElement(QString::fromLatin1(factory), error))
            return false;
    }
    return true;
}

GstElement *makeBranch(const QString &description, Error *error)
{
    GError *failure = nullptr;
    GstElement *branch =
        gst_parse_bin_from_description(description.toUtf8().constData(), FALSE, &failure);
    if (!branch) {
        setError(error, Error(kErrorDomain, BranchFailed, QString::fromUtf8(failure->message)));
        g_clear_error(&failure);
        return nullptr;
    }
    // A decoder's source pads appear later, so the parser's automatic ghost pads cannot be used,
    // and the element after a decoder has its sink pad unlinked too: a decoder is named "in".
    GstElement *first = gst_bin_get_by_name(GST_BIN(branch), "in");
    GstPad *sink = first ? gst_element_get_static_pad(first, "sink")
                         : gst_bin_find_unlinked_pad(GST_BIN(branch), GST_PAD_SINK);
    if (first)
        gst_object_unref(first);
    GstPad *source = gst_bin_find_unlinked_pad(GST_BIN(branch), GST_PAD_SRC);
    gst_element_add_pad(branch, gst_ghost_pad_new("sink", sink));
    gst_element_add_pad(branch, gst_ghost_pad_new("src", source));
    gst_object_unref(sink);
    gst_object_unref(source);
    return branch;
}

bool linkThroughBranch(GstElement *pipeline, GstElement *mux, StreamKind kind, GstPad *pad,
                       GstElement *branch, Error *error)
{
    gst_bin_add(GST_BIN(pipeline), branch);
    GstPad *muxPad = gst_element_request_pad_simple(mux, muxPadTemplate(kind));
    GstPad *branchSource = gst_element_get_static_pad(branch, "src");
    GstPad *branchSink = gst_element_get_static_pad(branch, "sink");
    const bool linked = muxPad && gst_pad_link(branchSource, muxPad) == GST_PAD_LINK_OK &&
                        gst_pad_link(pad, branchSink) == GST_PAD_LINK_OK;
    gst_object_unref(branchSource);
    gst_object_unref(branchSink);
    if (muxPad)
        gst_object_unref(muxPad);
    if (!linked) {
        setError(error, Error(kErrorDomain, BranchFailed,
                              QStringLiteral("A stream could not be added to the movie.")));
        return false;
    }
    gst_element_sync_state_with_parent(branch);
    return true;
}

GstElement *addElement(GstElement *pipeline, const char *factory, const QString &location)
{
    GstElement *element = gst_element_factory_make(factory, nullptr);
    if (!location.isEmpty())
        g_object_set(element, "location", QFile::encodeName(location).constData(), nullptr);
    gst_bin_add(GST_BIN(pipeline), element);
    return element;
}

void postFailure(GstElement *pipeline, const QString &message)
{
    GError *failure =
        g_error_new_literal(GST_CORE_ERROR, GST_CORE_ERROR_FAILED, message.toUtf8().constData());
    gst_element_post_message(pipeline,
                             gst_message_new_error(GST_OBJECT(pipeline), failure, nullptr));
    g_error_free(failure);
}

StreamingTurn::StreamingTurn()
{
    takeOver(&kStarted);
}

StreamingTurn::~StreamingTurn()
{
    handOver(&kFinished);
}

bool writeAndPublish(GstElement *pipeline, const QString &temporaryPath, const QString &destination,
                     std::chrono::milliseconds timeLimit, Error *error)
{
    const QString failurePrefix =
        QStringLiteral("Could not write “%1” as a movie").arg(QFileInfo(destination).fileName());
    handOver(&kStarted);
    bool written = PipelineRunner::run(pipeline, timeLimit, failurePrefix, error);
    takeOver(&kFinished);
    gst_object_unref(pipeline);

    FileOperations &files = FileOperations::current();
    if (written)
        written = files.replace(temporaryPath, destination, error);
    if (!written && files.exists(temporaryPath))
        files.remove(temporaryPath, nullptr);
    return written;
}

void linkToJoiner(GstPad *pad, JoinedSource &source)
{
    GstCaps *caps = padCaps(pad);
    StreamKind kind = StreamKind::Audio;
    const bool known = streamKindOf(caps, &kind);
    gst_caps_unref(caps);
    const std::lock_guard lock(*source.mutex);
    const size_t index = indexOf(kind);
    if (!known || !source.joinerPads[index] || source.linked[index])
        return;
    source.linked[index] = true;
    if (gst_pad_link(pad, source.joinerPads[index]) != GST_PAD_LINK_OK)
        postFailure(source.pipeline, QStringLiteral("a stream could not be joined to the others"));
}

} // namespace lq::movie_encoding
