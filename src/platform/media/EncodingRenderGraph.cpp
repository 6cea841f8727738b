// The render that encodes, through GStreamer Editing Services: each file is a clip at its place
// on the timeline, cut to its length there, and each gap a clip of silence and black pictures.
// The editing services keep sound and pictures in step across files of other lengths, formats
// and sizes, scale every picture into the frame in its own proportions, and fill a stretch
// where a file lacks sound or pictures.
#include "platform/media/GStreamer.h"
#include "platform/media/MovieEncoding.h"
#include "platform/media/RenderGraph.h"

#include <QFileInfo>

#include <ges/ges.h>
#include <gst/pbutils/encoding-profile.h>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace lq {
namespace {

enum ErrorCode { EditingUnavailable = 60, NothingToRender, ClipRefused };

constexpr int kAudioBitRate = 128000;
// x264's own default quality, at a speed that keeps exports well ahead of real time.
constexpr int kVideoQuality = 23;
constexpr int kDefaultFrameRate = 30;
constexpr int kDefaultSampleRate = 44100;
constexpr int kDefaultChannels = 2;

Error renderError(int code, const QString &message)
{
    return Error(movie_encoding::kErrorDomain, code, message);
}

bool initializeEditing(Error *error)
{
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = GStreamer::initialize() && ges_init(); });
    if (!ready) {
        setError(error, renderError(EditingUnavailable,
                                    QStringLiteral("GStreamer Editing Services could not start.")));
    }
    return ready;
}

// The shape of what the render writes.
struct Shape
{
    bool sound = false;
    bool pictures = false;
    int sampleRate = kDefaultSampleRate;
    int channels = kDefaultChannels;
    QSize frame;
    int frameRate = kDefaultFrameRate;
};

int frameRateOf(const QString &capsText)
{
    GstCaps *caps = gst_caps_from_string(capsText.toUtf8().constData());
    gint numerator = 0;
    gint denominator = 0;
    if (caps && !gst_caps_is_empty(caps))
        gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "framerate", &numerator,
                                   &denominator);
    if (caps)
        gst_caps_unref(caps);
    return numerator > 0 && denominator > 0 ? int(std::lround(double(numerator) / denominator)) : 0;
}

// Even sides: the picture encoder takes no others.
QSize evenSize(QSizeF size)
{
    const auto even = [](double side) { return std::max(2, int(std::lround(side / 2.0)) * 2); };
    return QSize(even(size.width()), even(size.height()));
}

Shape shapeOf(const MediaComposition &timeline, const RenderSettings &settings)
{
    Shape shape;
    // The sound of the first file that has some, or of the gaps' silence when none has.
    const MediaInfo *sound = nullptr;
    for (const bool gaps : {false, true}) {
        for (const CompositionSegment &segment : timeline.segments()) {
            if (!sound && segment.isGap == gaps && !segment.info.audioStreams.isEmpty())
                sound = &segment.info;
        }
    }
    if (sound) {
        shape.sampleRate = std::max(1, sound->audioStreams.first().sampleRate);
        shape.channels = std::clamp(sound->audioStreams.first().channels, 1, 2);
    }
    // Sound alone is written even where the files have none: silence.
    shape.sound = sound || settings.soundOnly;
    for (const CompositionSegment &segment : timeline.segments()) {
        if (!segment.info.videoStreams.isEmpty() && !settings.soundOnly && !shape.pictures) {
            shape.pictures = true;
            shape.frameRate = frameRateOf(segment.info.videoStreams.first().caps);
        }
    }
    shape.frameRate = settings.frameRate.value_or(shape.frameRate);
    if (shape.frameRate <= 0)
        shape.frameRate = kDefaultFrameRate;
    shape.frame =
        evenSize(settings.frameSize ? QSizeF(*settings.frameSize) : timeline.naturalSize());
    return shape;
}

void setEncoderProperties(GstBin *, GstBin *, GstElement *element, gpointer)
{
    GstElementFactory *factory = gst_element_get_factory(element);
    const gchar *name = factory ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)) : "";
    if (g_str_equal(name, "x264enc")) {
        gst_util_set_object_arg(G_OBJECT(element), "speed-preset", "veryfast");
        gst_util_set_object_arg(G_OBJECT(element), "pass", "qual");
        // Without B-frames the first picture is shown at 0: the muxers write no edit that
        // would hide the reordering delay, so the pictures would lag the sound.
        g_object_set(element, "quantizer", guint(kVideoQuality), "bframes", guint(0), nullptr);
    } else if (g_str_equal(name, "voaacenc")) {
        g_object_set(element, "bitrate", gint(kAudioBitRate), nullptr);
    }
}

GstEncodingProfile *encodingProfile(const RenderSettings &settings, const Shape &shape)
{
    GstCaps *container = gst_caps_from_string(
        settings.container == RenderSettings::Container::QuickTime ? "video/quicktime,variant=apple"
                                                                   : "video/quicktime,variant=iso");
    GstEncodingContainerProfile *profile =
        gst_encoding_container_profile_new("render", nullptr, container, nullptr);
    gst_caps_unref(container);
    if (shape.pictures) {
        GstCaps *format = gst_caps_from_string("video/x-h264");
        GstCaps *raw = gst_caps_from_string("video/x-raw,format=I420");
        GstEncodingVideoProfile *video = gst_encoding_video_profile_new(format, nullptr, raw, 0);
        gst_encoding_profile_set_preset_name(GST_ENCODING_PROFILE(video), "x264enc");
        gst_encoding_container_profile_add_profile(profile, GST_ENCODING_PROFILE(video));
        gst_caps_unref(format);
        gst_caps_unref(raw);
    }
    if (shape.sound) {
        GstCaps *format = gst_caps_from_string("audio/mpeg,mpegversion=4");
        GstEncodingAudioProfile *audio =
            gst_encoding_audio_profile_new(format, nullptr, nullptr, 0);
        gst_encoding_profile_set_preset_name(GST_ENCODING_PROFILE(audio), "voaacenc");
        gst_encoding_container_profile_add_profile(profile, GST_ENCODING_PROFILE(audio));
        gst_caps_unref(format);
    }
    return GST_ENCODING_PROFILE(profile);
}

GESTrack *addTrack(GESTimeline *timeline, GESTrack *track, const QString &restriction)
{
    GstCaps *caps = gst_caps_from_string(restriction.toUtf8().constData());
    ges_track_set_restriction_caps(track, caps);
    gst_caps_unref(caps);
    ges_timeline_add_track(timeline, track);
    return track;
}

GstClockTime nanoseconds(double seconds)
{
    return GstClockTime(std::llround(std::max(0.0, seconds) * double(GST_SECOND)));
}

// Lays the timeline's pieces out on one layer, a run of gaps as one clip of silence and black.
class ClipLayout
{
public:
    ClipLayout(GESLayer *layer, const Shape &shape) : m_layer(layer)
    {
        if (shape.sound)
            m_tracks = GESTrackType(m_tracks | GES_TRACK_TYPE_AUDIO);
        if (shape.pictures)
            m_tracks = GESTrackType(m_tracks | GES_TRACK_TYPE_VIDEO);
    }

    bool add(const MediaComposition &timeline, Error *error)
    {
        const QList<CompositionSegment> &segments = timeline.segments();
        for (qsizetype i = 0; i < segments.size(); ++i) {
            const GstClockTime start = nanoseconds(timeline.segmentStart(i));
            const GstClockTime end = nanoseconds(timeline.segmentStart(i + 1));
            const bool gap = segments[i].isGap;
            if (gap || !addFile(segments[i], start, end - start, error)) {
                if (!error->isNull())
                    return false;
                m_fillerEnd = end;
                m_fillerStart = std::min(m_fillerStart, start);
            }
        }
        return addFiller(error);
    }

private:
    // Adds the file as a clip; false without an error when it holds none of the tracks' kinds.
    bool addFile(const CompositionSegment &segment, GstClockTime start, GstClockTime duration,
                 Error *error)
    {
        GESTrackType kinds = GES_TRACK_TYPE_UNKNOWN;
        if (!segment.info.audioStreams.isEmpty())
            kinds = GESTrackType(kinds | GES_TRACK_TYPE_AUDIO);
        if (!segment.info.videoStreams.isEmpty())
            kinds = GESTrackType(kinds | GES_TRACK_TYPE_VIDEO);
        kinds = GESTrackType(kinds & m_tracks);
        if (kinds == GES_TRACK_TYPE_UNKNOWN)
            return false;
        if (!addFiller(error))
            return false;
        gchar *uri = gst_filename_to_uri(QFile::encodeName(segment.path).constData(), nullptr);
        // A file rewritten under the same name must be read again, not taken from the cache.
        ges_asset_needs_reload(GES_TYPE_URI_CLIP, uri);
        GError *failure = nullptr;
        GESUriClipAsset *asset = ges_uri_clip_asset_request_sync(uri, &failure);
        g_free(uri);
        const QString name = QFileInfo(segment.path).fileName();
        if (!asset) {
            setError(error, renderError(ClipRefused,
                                        QStringLiteral("“%1” could not be read: %2")
                                            .arg(name, failure ? QString::fromUtf8(failure->message)
                                                               : QString())));
            g_clear_error(&failure);
            return false;
        }
        const GstClockTime available = ges_uri_clip_asset_get_max_duration(asset);
        const GstClockTime length =
            GST_CLOCK_TIME_IS_VALID(available) ? std::min(duration, available) : duration;
        GESClip *clip = ges_layer_add_asset(m_layer, GES_ASSET(asset), start, 0, length, kinds);
        gst_object_unref(asset);
        if (!clip) {
            setError(
                error,
                renderError(ClipRefused,
                            QStringLiteral("“%1” could not be put on the timeline.").arg(name)));
            return false;
        }
        return true;
    }

    // Adds the run of gaps met since the last file, if any.
    bool addFiller(Error *error)
    {
        if (m_fillerStart >= m_fillerEnd) {
            m_fillerStart = GST_CLOCK_TIME_NONE;
            return true;
        }
        GESAsset *asset = ges_asset_request(GES_TYPE_TEST_CLIP, nullptr, nullptr);
        GESClip *clip = asset ? ges_layer_add_asset(m_layer, asset, m_fillerStart, 0,
                                                    m_fillerEnd - m_fillerStart, m_tracks)
                              : nullptr;
        if (asset)
            gst_object_unref(asset);
        m_fillerStart = GST_CLOCK_TIME_NONE;
        if (!clip) {
            setError(error,
                     renderError(ClipRefused, QStringLiteral("A silent gap could not be put on the "
                                                             "timeline.")));
            return false;
        }
        g_object_set(clip, "mute", TRUE, "vpattern", GES_VIDEO_TEST_PATTERN_BLACK, nullptr);
        return true;
    }

    GESLayer *m_layer;
    GESTrackType m_tracks = GES_TRACK_TYPE_UNKNOWN;
    GstClockTime m_fillerStart = GST_CLOCK_TIME_NONE; // the largest value: no run of gaps
    GstClockTime m_fillerEnd = 0;
};

} // namespace

namespace render_graph {

std::unique_ptr<RenderGraph> makeEncoding(const MediaComposition &timeline,
                                          const RenderSettings &settings, const QString &output,
                                          Error *error)
{
    if (!initializeEditing(error) ||
        !movie_encoding::hasElements({"x264enc", "voaacenc", muxerFor(settings.container)}, error))
        return nullptr;
    const Shape shape = shapeOf(timeline, settings);
    if (!shape.sound && !shape.pictures) {
        setError(error, renderError(NothingToRender,
                                    QStringLiteral("The recording holds neither sound nor "
                                                   "pictures.")));
        return nullptr;
    }
    GESTimeline *editing = ges_timeline_new();
    if (shape.sound) {
        addTrack(editing, GES_TRACK(ges_audio_track_new()),
                 QStringLiteral("audio/x-raw,rate=%1,channels=%2")
                     .arg(shape.sampleRate)
                     .arg(shape.channels));
    }
    if (shape.pictures) {
        addTrack(editing, GES_TRACK(ges_video_track_new()),
                 QStringLiteral("video/x-raw,width=%1,height=%2,framerate=%3/1")
                     .arg(shape.frame.width())
                     .arg(shape.frame.height())
                     .arg(shape.frameRate));
    }
    ClipLayout layout(ges_timeline_append_layer(editing), shape);
    Error failure;
    if (!layout.add(timeline, &failure)) {
        gst_object_unref(gst_object_ref_sink(editing));
        setError(error, failure);
        return nullptr;
    }
    ges_timeline_commit(editing);

    GESPipeline *pipeline = ges_pipeline_new();
    // The encoders are made as the render is set up.
    g_signal_connect(pipeline, "deep-element-added", G_CALLBACK(setEncoderProperties), nullptr);
    ges_pipeline_set_timeline(pipeline, editing);
    GstEncodingProfile *profile = encodingProfile(settings, shape);
    gchar *uri = gst_filename_to_uri(QFile::encodeName(output).constData(), nullptr);
    ges_pipeline_set_render_settings(pipeline, uri, profile);
    g_free(uri);
    gst_encoding_profile_unref(profile);
    ges_pipeline_set_mode(pipeline, GES_PIPELINE_MODE_RENDER);
    return std::make_unique<RenderGraph>(GST_ELEMENT(pipeline));
}

} // namespace render_graph
} // namespace lq
