#include "platform/media/MediaFlattener.h"

#include "platform/foundation/FileOperations.h"
#include "platform/media/GStreamer.h"
#include "platform/media/MovieEncoding.h"

#include <QFileInfo>

#include <gst/gst.h>

#include <mutex>

namespace lq {
namespace {

using movie_encoding::StreamKind;

enum ErrorCode { MissingSource = 30 };

struct Flattening
{
    GstElement *pipeline = nullptr;
    GstElement *mux = nullptr;
    MediaFlattener::Encoding encoding = MediaFlattener::Encoding::CopyWhatFits;
    std::mutex mutex;
    int branches = 0;
    int videoBranches = 0;
};

bool muxTakes(GstElement *mux, StreamKind kind, const GstCaps *caps)
{
    GstPadTemplate *padTemplate = gst_element_class_get_pad_template(
        GST_ELEMENT_GET_CLASS(mux), movie_encoding::muxPadTemplate(kind));
    GstCaps *accepted = gst_pad_template_get_caps(padTemplate);
    const bool takes = gst_caps_can_intersect(caps, accepted);
    gst_caps_unref(accepted);
    return takes;
}

// Links one demuxed sound or video stream into the muxer, copied or encoded.
bool addBranch(Flattening *flattening, GstPad *pad, const GstCaps *caps, StreamKind kind,
               Error *error)
{
    const bool copied = flattening->encoding == MediaFlattener::Encoding::CopyWhatFits &&
                        muxTakes(flattening->mux, kind, caps);
    if (!copied && !movie_encoding::hasEncoder(kind, error))
        return false;
    GstElement *branch = movie_encoding::makeBranch(
        copied ? movie_encoding::queueDescription()
               : QStringLiteral("decodebin name=in ! ") + movie_encoding::encoderDescription(kind),
        error);
    return branch && movie_encoding::linkThroughBranch(flattening->pipeline, flattening->mux, kind,
                                                       pad, branch, error);
}

// Whether a stream of this kind goes into the movie: subtitles, timecodes and the like stay out,
// and a movie re-encoded for the player has one video stream.
bool isWanted(const Flattening &flattening, const GstCaps *caps, StreamKind *kind)
{
    if (!movie_encoding::streamKindOf(caps, kind))
        return false;
    return *kind == StreamKind::Audio || flattening.videoBranches == 0 ||
           flattening.encoding == MediaFlattener::Encoding::CopyWhatFits;
}

void onPadAdded(GstElement *, GstPad *pad, gpointer data)
{
    const movie_encoding::StreamingTurn turn;
    auto *flattening = static_cast<Flattening *>(data);
    GstCaps *caps = movie_encoding::padCaps(pad);
    const std::lock_guard lock(flattening->mutex);
    StreamKind kind = StreamKind::Audio;
    Error error;
    if (isWanted(*flattening, caps, &kind)) {
        if (addBranch(flattening, pad, caps, kind, &error)) {
            ++flattening->branches;
            flattening->videoBranches += kind == StreamKind::Video ? 1 : 0;
        } else {
            movie_encoding::postFailure(flattening->pipeline, error.localizedDescription());
        }
    }
    gst_caps_unref(caps);
}

void onNoMorePads(GstElement *, gpointer data)
{
    const movie_encoding::StreamingTurn turn;
    auto *flattening = static_cast<Flattening *>(data);
    const std::lock_guard lock(flattening->mutex);
    if (flattening->branches == 0)
        movie_encoding::postFailure(flattening->pipeline,
                                    QStringLiteral("it holds no audio or video"));
}

} // namespace

bool MediaFlattener::flatten(const QString &source, const QString &destination,
                             std::chrono::milliseconds timeLimit, Error *error, Encoding encoding)
{
    if (!movie_encoding::hasElements({"filesrc", "parsebin", "qtmux", "filesink"}, error))
        return false;
    if (!QFileInfo(source).isFile()) {
        setError(error, Error(movie_encoding::kErrorDomain, MissingSource,
                              QStringLiteral("The media file “%1” does not exist.")
                                  .arg(QFileInfo(source).fileName())));
        return false;
    }

    const QString temporaryPath = temporaryPathBeside(destination);
    Flattening flattening;
    flattening.encoding = encoding;
    flattening.pipeline = gst_pipeline_new(nullptr);
    GstElement *reader = movie_encoding::addElement(flattening.pipeline, "filesrc", source);
    GstElement *demuxer = movie_encoding::addElement(flattening.pipeline, "parsebin");
    flattening.mux = movie_encoding::addElement(flattening.pipeline, "qtmux");
    GstElement *writer = movie_encoding::addElement(flattening.pipeline, "filesink", temporaryPath);
    gst_element_link(reader, demuxer);
    gst_element_link(flattening.mux, writer);
    g_signal_connect(demuxer, "pad-added", G_CALLBACK(onPadAdded), &flattening);
    g_signal_connect(demuxer, "no-more-pads", G_CALLBACK(onNoMorePads), &flattening);
    return movie_encoding::writeAndPublish(flattening.pipeline, temporaryPath, destination,
                                           timeLimit, error);
}

} // namespace lq
