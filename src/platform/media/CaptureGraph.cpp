#include "platform/media/CaptureGraph.h"

#include "platform/foundation/Log.h"
#include "platform/media/BusWatch.h"
#include "platform/media/FragmentedMovie.h"
#include "platform/media/GStreamer.h"
#include "platform/media/GstCaptureDevices.h"
#include "platform/media/VideoSurface.h"

#include <QThreadPool>

#include <gst/gst.h>

#include <cmath>
#include <utility>

namespace lq {
namespace {

const QString kErrorDomain = QStringLiteral("media");
constexpr int kFinishTimeLimitMs = 5000;
constexpr guint64 kLevelInterval = 100 * GST_MSECOND;
// Half a second at 30 frames per second, and at most 2 s down to 7.5: the writer holds a whole
// group of pictures before it writes, and a file switch waits for the next keyframe.
constexpr int kKeyframeDistance = 15;
// Fragments a killed process leaves readable: a kill loses at most the last half second.
constexpr guint kFragmentMs = 500;

// Makes elements into a bin; the first missing element is remembered and later calls do
// nothing.
class Builder
{
public:
    explicit Builder(GstElement *bin) : m_bin(GST_BIN(bin)) {}

    GstElement *make(const char *factory)
    {
        GstElement *element = create(factory);
        if (element)
            gst_bin_add(m_bin, element);
        return element;
    }

    // Not added to the bin.
    GstElement *create(const char *factory)
    {
        if (!m_error.isNull() || !GStreamer::hasElement(QString::fromLatin1(factory), &m_error))
            return nullptr;
        return gst_element_factory_make(factory, nullptr);
    }

    GstElement *adopt(GstElement *element)
    {
        if (element)
            gst_bin_add(m_bin, element);
        return element;
    }

    GstElement *capsFilter(const QString &caps)
    {
        GstElement *filter = make("capsfilter");
        if (filter) {
            GstCaps *parsed = gst_caps_from_string(caps.toUtf8().constData());
            g_object_set(filter, "caps", parsed, nullptr);
            gst_caps_unref(parsed);
        }
        return filter;
    }

    GstElement *discard()
    {
        GstElement *sink = make("fakesink");
        if (sink)
            g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
        return sink;
    }

    // Links the elements in order; null entries (optional steps) are skipped.
    bool chain(std::initializer_list<GstElement *> elements)
    {
        GstElement *previous = nullptr;
        for (GstElement *element : elements) {
            if (!element)
                continue;
            if (previous && !gst_element_link(previous, element))
                return fail(QStringLiteral("The capture elements could not be connected."));
            previous = element;
        }
        return m_error.isNull();
    }

    bool linkPads(GstPad *from, GstPad *to)
    {
        if (from && to && gst_pad_link(from, to) == GST_PAD_LINK_OK)
            return true;
        return fail(QStringLiteral("The capture elements could not be connected."));
    }

    bool fail(const QString &message)
    {
        if (m_error.isNull())
            m_error = Error(kErrorDomain, 10, message);
        return false;
    }
    void fail(const Error &error)
    {
        if (m_error.isNull())
            m_error = error;
    }

    bool ok() const { return m_error.isNull(); }
    const Error &error() const { return m_error; }

private:
    GstBin *m_bin;
    Error m_error;
};

GstElement *queue(Builder &builder, bool leaky)
{
    GstElement *element = builder.make("queue");
    if (!element)
        return nullptr;
    if (leaky) {
        g_object_set(element, "max-size-buffers", 2u, "max-size-bytes", 0u, "max-size-time",
                     guint64(0), nullptr);
        gst_util_set_object_arg(G_OBJECT(element), "leaky", "downstream");
    } else {
        g_object_set(element, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time",
                     guint64(3 * GST_SECOND), nullptr);
    }
    return element;
}

GstPad *staticPad(GstElement *element, const char *name)
{
    return element ? gst_element_get_static_pad(element, name) : nullptr;
}

// Where the writer goes when asked for a file it must not have: a file that holds recorded data is
// never opened for writing again.
const char *const kNowhere = "/dev/null";

// The movie header written before the fragments ends each track's edits with the first fragment;
// without them, a file cut off while recording plays all its fragments.
GstPadProbeReturn openFragmentedHeader(GstPad *, GstPadProbeInfo *info, gpointer)
{
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    char head[8];
    const gsize size = gst_buffer_get_size(buffer);
    if (size < sizeof head || gst_buffer_extract(buffer, 0, head, sizeof head) != sizeof head ||
        qstrncmp(head + 4, "moov", 4) != 0)
        return GST_PAD_PROBE_OK;
    QByteArray moov(qsizetype(size), Qt::Uninitialized);
    gst_buffer_extract(buffer, 0, moov.data(), size);
    if (!FragmentedMovie::dropEditsOfFragmentedHeader(moov))
        return GST_PAD_PROBE_OK;
    buffer = gst_buffer_make_writable(buffer);
    gst_buffer_fill(buffer, 0, moov.constData(), size);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    return GST_PAD_PROBE_OK;
}

// Seconds from a running time of the pipeline to its present; 0 when the clock cannot tell.
double secondsSince(GstElement *pipeline, GstClockTime runningTime)
{
    const GstClockTime now = gst_element_get_current_running_time(pipeline);
    return GST_CLOCK_TIME_IS_VALID(now) && now > runningTime
               ? double(now - runningTime) / double(GST_SECOND)
               : 0.0;
}

Error errorOf(GError *failure)
{
    return Error(QString::fromUtf8(g_quark_to_string(failure->domain)), failure->code,
                 QString::fromUtf8(failure->message));
}

// What a recording is built of; the encoders' libraries take long to load.
const char *const kRecordingElements[] = {
    "tee",          "queue",     "level",           "fakesink",     "capsfilter",
    "audioconvert", "avenc_aac", "avenc_alac",      "videoconvert", "videoscale",
    "x264enc",      "h264parse", "aspectratiocrop", "qtmux",        "filesink",
    "splitmuxsink", "videorate",
};

} // namespace

// The elements the graph acts on after it was built. Pads are referenced.
struct CaptureGraph::Branches
{
    QList<GstElement *> inputs; // owned by the pipeline
    GstElement *writer = nullptr;
    struct Recording
    {
        GstPad *teePad;
        GstPad *head;
    };
    QList<Recording> recording;

    ~Branches()
    {
        for (const Recording &branch : std::as_const(recording)) {
            gst_object_unref(branch.teePad);
            gst_object_unref(branch.head);
        }
    }

    // Remembers the branch starting at head, fed by a tee.
    void addRecording(GstElement *head)
    {
        GstPad *input = gst_element_get_static_pad(head, "sink");
        recording.append(Recording{gst_pad_get_peer(input), input});
    }
};

CaptureGraph::CaptureGraph(QObject *parent) : QObject(parent)
{
    m_finishGuard.setSingleShot(true);
    m_finishGuard.setInterval(kFinishTimeLimitMs);
    connect(&m_finishGuard, &QTimer::timeout, this, [this] {
        std::unique_lock lock(m_locationMutex);
        const QString path = m_lastLocation.isEmpty() ? m_requestedPath : m_lastLocation;
        lock.unlock();
        const Error error = m_fileOpened ? Error(kErrorDomain, 11,
                                                 QStringLiteral("The recording file could not be "
                                                                "finished in time."))
                                         : m_finishError;
        finishRecording(path, error);
    });
}

CaptureGraph::~CaptureGraph()
{
    stop();
}

void CaptureGraph::addInput(Kind kind, const QString &uniqueId, bool muxed)
{
    m_inputs[int(kind)] = Input{uniqueId, muxed};
}

void CaptureGraph::removeInput(Kind kind)
{
    m_inputs[int(kind)].reset();
}

void CaptureGraph::setPreviewSurface(VideoSurface *surface)
{
    m_surface = surface;
}

void CaptureGraph::preloadElements()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QThreadPool::globalInstance()->start([] {
            if (!GStreamer::initialize())
                return;
            for (const char *name : kRecordingElements) {
                GstElementFactory *factory = gst_element_factory_find(name);
                if (!factory)
                    continue;
                if (GstPluginFeature *loaded = gst_plugin_feature_load(GST_PLUGIN_FEATURE(factory)))
                    gst_object_unref(loaded);
                gst_object_unref(factory);
            }
        });
    });
}

bool CaptureGraph::hasInput(Kind kind) const
{
    return m_inputs[int(kind)].has_value();
}

std::optional<double> CaptureGraph::meanLevel(const QList<double> &levels)
{
    if (levels.isEmpty())
        return std::nullopt;
    double sum = 0.0;
    for (const double level : levels)
        sum += level >= kSilenceLevel ? level : kSilenceLevel; // also catches NaN
    return sum / double(levels.size());
}

bool CaptureGraph::start(Error *error)
{
    stop();
    if (build(false, error) &&
        gst_element_set_state(m_pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE)
        return true;
    if (m_pipeline)
        setError(error, Error(kErrorDomain, 12, QStringLiteral("The capture could not start.")));
    stop();
    return false;
}

bool CaptureGraph::startRecording(const QString &firstPath, Error *error)
{
    stop();
    {
        std::lock_guard lock(m_locationMutex);
        m_nextLocation = firstPath;
        m_lastLocation.clear();
    }
    m_requestedPath = firstPath;
    m_finishError = Error();
    m_fileOpened = false;
    m_duration.reset();
    if (build(true, error) &&
        gst_element_set_state(m_pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
        m_recording = true;
        return true;
    }
    if (m_pipeline)
        setError(error, Error(kErrorDomain, 12, QStringLiteral("The recording could not start.")));
    stop();
    return false;
}

void CaptureGraph::stop()
{
    m_finishGuard.stop();
    m_recording = false;
    m_stopping = false;
    m_levels.clear();
    if (!m_pipeline)
        return;
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    m_watch.reset();
    m_branches.reset();
    gst_object_unref(m_pipeline);
    m_pipeline = nullptr;
}

void CaptureGraph::switchFile(const QString &nextPath)
{
    if (!m_recording || m_stopping)
        return;
    {
        std::lock_guard lock(m_locationMutex);
        m_nextLocation = nextPath;
    }
    m_requestedPath = nextPath;
    m_duration.awaitNextFile();
    g_signal_emit_by_name(m_branches->writer, "split-now");
}

void CaptureGraph::failCurrentFile(const Error &error)
{
    if (!m_recording || m_stopping)
        return;
    std::unique_lock lock(m_locationMutex);
    const QString path = m_lastLocation.isEmpty() ? m_requestedPath : m_lastLocation;
    lock.unlock();
    Q_EMIT fileFinished(path, error);
}

void CaptureGraph::stopRecording()
{
    if (!m_recording || m_stopping)
        return;
    m_stopping = true;
    m_finishGuard.start();
    for (const Branches::Recording &branch : std::as_const(m_branches->recording)) {
        // Nothing more enters the branch; what it holds is written out before the end.
        gst_pad_add_probe(
            branch.teePad,
            GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
            [](GstPad *, GstPadProbeInfo *, gpointer) { return GST_PAD_PROBE_DROP; }, nullptr,
            nullptr);
        gst_pad_send_event(branch.head, gst_event_new_eos());
    }
}

QString CaptureGraph::takeNextLocation()
{
    std::lock_guard lock(m_locationMutex);
    // Each file is handed out once: asked again without a switch (as after a failed write), the
    // writer would truncate the file it just wrote.
    if (m_nextLocation.isEmpty())
        return QString::fromLatin1(kNowhere);
    m_lastLocation = std::exchange(m_nextLocation, QString());
    return m_lastLocation;
}

bool CaptureGraph::build(bool recording, Error *error)
{
    if (!GStreamer::initialize(error))
        return false;
    m_pipeline = gst_pipeline_new(nullptr);
    m_branches = std::make_unique<Branches>();
    Builder builder(m_pipeline);

    GstElement *writer = nullptr;
    if (recording) {
        GstElement *muxer = builder.create("qtmux");
        GstElement *sink = muxer ? builder.create("filesink") : nullptr;
        writer = sink ? builder.make("splitmuxsink") : nullptr;
        if (writer) {
            g_object_set(muxer, "fragment-duration", kFragmentMs, nullptr);
            gst_util_set_object_arg(G_OBJECT(muxer), "fragment-mode", "first-moov-then-finalise");
            // Written through at once, so that a killed process leaves every finished fragment.
            gst_util_set_object_arg(G_OBJECT(sink), "buffer-mode", "unbuffered");
            GstPad *input = gst_element_get_static_pad(sink, "sink");
            gst_pad_add_probe(input, GST_PAD_PROBE_TYPE_BUFFER, &openFragmentedHeader, nullptr,
                              nullptr);
            gst_object_unref(input);
            g_object_set(writer, "muxer", muxer, "sink", sink, "async-finalize", FALSE,
                         "max-size-time", guint64(0), "max-size-bytes", guint64(0), nullptr);
            g_signal_connect(writer, "format-location",
                             G_CALLBACK(+[](GstElement *, guint, gpointer graph) -> gchar * {
                                 return g_strdup(static_cast<CaptureGraph *>(graph)
                                                     ->takeNextLocation()
                                                     .toUtf8()
                                                     .constData());
                             }),
                             this);
            m_branches->writer = writer;
        } else {
            if (muxer)
                gst_object_unref(muxer);
            if (sink)
                gst_object_unref(sink);
        }
    }

    // The source elements; a muxed device serving both kinds is made once.
    const std::optional<Input> &audio = m_inputs[int(Kind::Audio)];
    const std::optional<Input> &video = m_inputs[int(Kind::Video)];
    auto makeSource = [&](const Input &input) -> GstElement * {
        if (!builder.ok())
            return nullptr;
        Error sourceError;
        GstElement *source = GstCaptureDevices::makeSource(input.uniqueId, &sourceError);
        if (!source) {
            builder.fail(sourceError);
            return nullptr;
        }
        m_branches->inputs.append(source);
        return builder.adopt(source);
    };
    GstElement *audioSource = audio ? makeSource(*audio) : nullptr;
    const bool shared =
        audio && video && audio->muxed && video->muxed && audio->uniqueId == video->uniqueId;
    GstElement *videoSource = video ? (shared ? audioSource : makeSource(*video)) : nullptr;
    // A muxed device serving one kind: the other output is discarded.
    const auto discardOutput = [&](GstElement *source, const char *output) {
        GstPad *unused = staticPad(source, output);
        GstPad *sink = staticPad(builder.discard(), "sink");
        builder.linkPads(unused, sink);
        g_clear_object(&unused);
        g_clear_object(&sink);
    };
    if (audioSource && audio->muxed && !shared)
        discardOutput(audioSource, "video");
    if (videoSource && video->muxed && !shared)
        discardOutput(videoSource, "audio");

    auto branchFrom = [&](GstElement *source, const Input &input, const char *muxedPad) {
        GstElement *tee = builder.make("tee");
        if (!tee)
            return static_cast<GstElement *>(nullptr);
        g_object_set(tee, "allow-not-linked", TRUE, nullptr);
        GstPad *output = staticPad(source, input.muxed ? muxedPad : "src");
        GstPad *teeInput = staticPad(tee, "sink");
        builder.linkPads(output, teeInput);
        g_clear_object(&output);
        g_clear_object(&teeInput);
        return tee;
    };
    auto linkToWriter = [&](GstElement *last, const char *padTemplate) {
        GstPad *output = staticPad(last, "src");
        GstPad *input = writer ? gst_element_request_pad_simple(writer, padTemplate) : nullptr;
        if (builder.linkPads(output, input))
            m_duration.watch(input);
        g_clear_object(&output);
        g_clear_object(&input);
    };

    if (audioSource && builder.ok()) {
        GstElement *tee = branchFrom(audioSource, *audio, "audio");
        bool fed = false;
        if (!audio->muxed) {
            GstElement *head = queue(builder, true);
            GstElement *level = builder.make("level");
            if (level) {
                g_object_set(level, "interval", kLevelInterval, "post-messages", TRUE, nullptr);
                fed = builder.chain({tee, head, level, builder.discard()});
            }
        }
        if (writer) {
            const AudioEncoding &encoding = m_audioEncoding;
            GstElement *head = queue(builder, false);
            GstElement *convert = builder.make("audioconvert");
            GstElement *channels =
                encoding.channels > 0
                    ? builder.capsFilter(
                          QStringLiteral("audio/x-raw, channels=(int)%1").arg(encoding.channels))
                    : nullptr;
            GstElement *encoder = builder.make(encoding.encoder.toLatin1().constData());
            if (encoder && encoding.bitRate > 0)
                g_object_set(encoder, "bitrate", encoding.bitRate, nullptr);
            if (builder.chain({tee, head, convert, channels, encoder})) {
                linkToWriter(encoder, "audio_%u");
                m_branches->addRecording(head);
                fed = true;
            }
        }
        if (!fed)
            builder.chain({tee, builder.discard()});
    }

    if (videoSource && builder.ok()) {
        GstElement *tee = branchFrom(videoSource, *video, "video");
        GstElement *previewHead = queue(builder, true);
        GstElement *preview = nullptr;
        if (m_surface) {
            Error sinkError;
            preview = builder.adopt(VideoSurface::makeSink(m_surface, &sinkError));
            if (!preview)
                builder.fail(sinkError);
        } else {
            preview = builder.discard();
        }
        builder.chain({tee, previewHead, preview});
        if (writer) {
            const VideoEncoding &encoding = m_videoEncoding;
            const bool scaled = encoding.size.isValid();
            GstElement *head = queue(builder, false);
            GstElement *crop = scaled ? builder.make("aspectratiocrop") : nullptr;
            GstElement *scale = scaled ? builder.make("videoscale") : nullptr;
            if (crop) {
                g_object_set(crop, "aspect-ratio", encoding.size.width(), encoding.size.height(),
                             nullptr);
            }
            GstElement *rate = encoding.maxFrameRate > 0 ? builder.make("videorate") : nullptr;
            if (rate)
                g_object_set(rate, "max-rate", encoding.maxFrameRate, nullptr);
            GstElement *convert = builder.make("videoconvert");
            QString caps = QStringLiteral("video/x-raw, format=(string)I420");
            if (scaled) {
                caps += QStringLiteral(", width=(int)%1, height=(int)%2, "
                                       "pixel-aspect-ratio=(fraction)1/1")
                            .arg(encoding.size.width())
                            .arg(encoding.size.height());
            }
            GstElement *format = builder.capsFilter(caps);
            GstElement *encoder = builder.make("x264enc");
            if (encoder) {
                gst_util_set_object_arg(G_OBJECT(encoder), "tune", "zerolatency");
                gst_util_set_object_arg(G_OBJECT(encoder), "speed-preset", "fast");
                g_object_set(encoder, "key-int-max", kKeyframeDistance, nullptr);
                if (encoding.kilobitRate > 0)
                    g_object_set(encoder, "bitrate", guint(encoding.kilobitRate), nullptr);
            }
            GstElement *parse = builder.make("h264parse");
            if (builder.chain({tee, head, rate, crop, scale, convert, format, encoder, parse})) {
                linkToWriter(parse, "video");
                m_branches->addRecording(head);
            }
        }
    }

    if (!audioSource && !videoSource && builder.ok())
        builder.fail(QStringLiteral("There is no capture device to record from."));
    if (!builder.ok()) {
        setError(error, builder.error());
        gst_object_unref(m_pipeline);
        m_pipeline = nullptr;
        m_branches.reset();
        return false;
    }
    m_watch =
        std::make_unique<BusWatch>(m_pipeline, [this](GstMessage *message) { onMessage(message); });
    return true;
}

void CaptureGraph::onMessage(GstMessage *message)
{
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        onError(message);
        return;
    }
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ELEMENT)
        return;
    const GstStructure *structure = gst_message_get_structure(message);
    if (gst_structure_has_name(structure, "level")) {
        QList<double> levels;
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        const auto *rms = static_cast<const GValueArray *>(
            g_value_get_boxed(gst_structure_get_value(structure, "rms")));
        for (guint i = 0; rms && i < rms->n_values; ++i) {
            const double level =
                g_value_get_double(g_value_array_get_nth(const_cast<GValueArray *>(rms), i));
            levels.append(level >= kSilenceLevel ? level : kSilenceLevel);
        }
        G_GNUC_END_IGNORE_DEPRECATIONS
        m_levels = levels;
        return;
    }
    const gchar *location = gst_structure_get_string(structure, "location");
    const QString path = location ? QString::fromUtf8(location) : QString();
    if (gst_structure_has_name(structure, "splitmuxsink-fragment-opened")) {
        m_fileOpened = true;
        GstClockTime runningTime = GST_CLOCK_TIME_NONE;
        double secondsAgo = 0.0;
        if (gst_structure_get_clock_time(structure, "running-time", &runningTime) &&
            GST_CLOCK_TIME_IS_VALID(runningTime)) {
            m_duration.startFile(int64_t(runningTime));
            // The message comes late when the writer or the main thread was held up.
            secondsAgo = secondsSince(m_pipeline, runningTime);
        }
        Q_EMIT fileStarted(path, secondsAgo);
    } else if (gst_structure_has_name(structure, "splitmuxsink-fragment-closed")) {
        onFragmentClosed(path);
    }
}

void CaptureGraph::onFragmentClosed(const QString &path)
{
    std::unique_lock lock(m_locationMutex);
    const bool last = m_stopping && path == m_lastLocation;
    lock.unlock();
    if (!last) {
        Q_EMIT fileFinished(path, Error());
        return;
    }
    const QString neverOpened = m_requestedPath != path ? m_requestedPath : QString();
    finishRecording(path, m_finishError);
    // A switch asked for just before the stop that the writer never got to.
    if (!neverOpened.isEmpty())
        Q_EMIT fileFinished(neverOpened, Error());
}

void CaptureGraph::finishRecording(const QString &path, const Error &error)
{
    m_finishGuard.stop();
    m_recording = false;
    m_stopping = false;
    Q_EMIT fileFinished(path, error);
}

bool CaptureGraph::isFromInput(GstMessage *message) const
{
    for (GstElement *input : std::as_const(m_branches->inputs)) {
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(input) ||
            gst_object_has_as_ancestor(GST_MESSAGE_SRC(message), GST_OBJECT(input)))
            return true;
    }
    return false;
}

void CaptureGraph::onError(GstMessage *message)
{
    GError *failure = nullptr;
    gchar *details = nullptr;
    gst_message_parse_error(message, &failure, &details);
    const Error error = errorOf(failure);
    log(QStringLiteral("Capture error: %1 (%2)\n")
            .arg(error.localizedDescription(), QString::fromUtf8(details)));
    g_clear_error(&failure);
    g_free(details);

    if (m_recording && isFromInput(message)) {
        // The writer is still sound: ending its input finalises what was recorded.
        if (m_finishError.isNull())
            m_finishError = error;
        stopRecording();
    } else if (m_recording) {
        // The writer itself failed (a full disk, for example): the file cannot be finalised.
        std::unique_lock lock(m_locationMutex);
        const QString path = m_lastLocation.isEmpty() ? m_requestedPath : m_lastLocation;
        lock.unlock();
        stop();
        Q_EMIT fileFinished(path, error);
    }
}

} // namespace lq
