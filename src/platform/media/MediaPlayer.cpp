#include "platform/media/MediaPlayer.h"

#include "platform/media/AudioOutput.h"
#include "platform/media/BusWatch.h"
#include "platform/media/FragmentedMovie.h"
#include "platform/media/GStreamer.h"
#include "platform/media/PeakLimiter.h"
#include "platform/media/VideoSurface.h"

#include <QFileInfo>
#include <QUrl>

#include <gst/audio/audio.h>
#include <gst/gst.h>

#include <algorithm>
#include <cmath>

namespace lq {
namespace {

constexpr GstClockTime kStateChangeTimeLimit = 10 * GST_SECOND;

// playbin's flags.
constexpr int kPlayVideo = 0x1;
constexpr int kPlayAudio = 0x2;

constexpr double kMaximumVolume = 10.0;

enum ErrorCode { NoFiles = 60, OpenFailed, SeekFailed, PlayFailed, PlaybackFailed };

Error playerError(int code, const QString &message)
{
    return Error(QStringLiteral("media"), code, message);
}

QString reasonOf(GstMessage *message)
{
    GError *failure = nullptr;
    gst_message_parse_error(message, &failure, nullptr);
    QString reason = failure ? QString::fromUtf8(failure->message).trimmed() : QString();
    g_clear_error(&failure);
    if (reason.isEmpty())
        reason = QStringLiteral("unknown reason");
    if (!reason.endsWith(QLatin1Char('.')))
        reason += QLatin1Char('.');
    return reason;
}

// The sound on its way to the sink: kept at its pitch at any rate, amplified by the player's
// own gain stage (the element named "gain") and held below full scale. The sink's own volume
// belongs to the desktop's mixer, which remembers it per program: the player never sets it.
GstElement *makeAudioFilter(Error *error)
{
    for (const char *element : {"audioconvert", "scaletempo", "volume"}) {
        if (!GStreamer::hasElement(QString::fromLatin1(element), error))
            return nullptr;
    }
    GError *failure = nullptr;
    GstElement *filter = gst_parse_bin_from_description(
        "audioconvert ! audio/x-raw,format=" GST_AUDIO_NE(F32) " ! scaletempo ! volume name=gain",
        TRUE, &failure);
    if (failure) {
        setError(error, playerError(OpenFailed, QStringLiteral("The player's sound could not be "
                                                               "set up: %1.")
                                                    .arg(QString::fromUtf8(failure->message))));
        g_clear_error(&failure);
        if (filter)
            gst_object_unref(gst_object_ref_sink(filter));
        return nullptr;
    }
    GstElement *gain = gst_bin_get_by_name(GST_BIN(filter), "gain");
    GstPad *amplified = gst_element_get_static_pad(gain, "src");
    limitPeaks(amplified);
    gst_object_unref(amplified);
    gst_object_unref(gain);
    return filter;
}

GstClockTime toClockTime(double seconds)
{
    return GstClockTime(std::llround(std::max(seconds, 0.0) * GST_SECOND));
}

// Of the pipeline since the last seek: the clock drives it while playing, and it stands still
// while paused.
GstClockTime runningTimeOf(GstElement *pipeline)
{
    GstState state = GST_STATE_NULL;
    gst_element_get_state(pipeline, &state, nullptr, 0);
    GstClock *clock = state == GST_STATE_PLAYING ? gst_element_get_clock(pipeline) : nullptr;
    if (!clock)
        return gst_element_get_start_time(pipeline); // where it stopped, 0 after a seek
    const GstClockTime now = gst_clock_get_time(clock);
    gst_object_unref(clock);
    const GstClockTime base = gst_element_get_base_time(pipeline);
    return now > base ? now - base : 0;
}

} // namespace

// The files of the timeline, shared with the splitting source, which asks for them whenever it
// starts.
struct MediaPlayer::Files
{
    QStringList paths;

    static gchar **listFor(GstElement *, gpointer data)
    {
        const QStringList &paths = (*static_cast<std::shared_ptr<Files> *>(data))->paths;
        auto **list = g_new0(gchar *, paths.size() + 1);
        for (qsizetype i = 0; i < paths.size(); ++i)
            list[i] = g_strdup(paths[i].toUtf8().constData());
        return list;
    }

    static void setUpSource(GstElement *, GstElement *source, gpointer data)
    {
        if (!g_signal_lookup("format-location", G_OBJECT_TYPE(source)))
            return;
        auto *files = new std::shared_ptr<Files>(*static_cast<std::shared_ptr<Files> *>(data));
        g_signal_connect_data(source, "format-location", G_CALLBACK(listFor), files,
                              &Files::release, GConnectFlags(0));
    }

    static void release(gpointer data, GClosure *)
    {
        delete static_cast<std::shared_ptr<Files> *>(data);
    }
};

MediaPlayer::MediaPlayer() : m_files(std::make_shared<Files>())
{}

MediaPlayer::~MediaPlayer()
{
    tearDown();
}

std::unique_ptr<MediaPlayer> MediaPlayer::open(const QStringList &files, VideoSurface *surface,
                                               Error *error)
{
    if (files.isEmpty()) {
        setError(error, playerError(NoFiles, QStringLiteral("There is no media file to play.")));
        return nullptr;
    }
    std::unique_ptr<MediaPlayer> player(new MediaPlayer);
    player->m_files->paths = files;
    if (!player->build(surface, error))
        return nullptr;
    return player;
}

bool MediaPlayer::build(VideoSurface *surface, Error *error)
{
    const bool several = m_files->paths.size() > 1;
    QStringList elements{QStringLiteral("playbin")};
    if (several)
        elements.append(QStringLiteral("splitmuxsrc"));
    for (const QString &element : elements) {
        if (!GStreamer::hasElement(element, error))
            return false;
    }
    GstElement *audioFilter = makeAudioFilter(error);
    if (!audioFilter)
        return false;
    GstElement *audioSink = AudioOutput::makeSink(error);
    GstElement *videoSink = audioSink && surface ? VideoSurface::makeSink(surface, error) : nullptr;
    if (!audioSink || (surface && !videoSink)) {
        for (GstElement *made : {audioFilter, audioSink}) {
            if (made)
                gst_object_unref(gst_object_ref_sink(made));
        }
        return false;
    }

    QByteArray uri =
        QUrl::fromLocalFile(QFileInfo(m_files->paths.first()).absoluteFilePath()).toEncoded();
    if (several)
        uri.replace(0, int(qstrlen("file")), "splitmux");
    m_pipeline = gst_element_factory_make("playbin", nullptr);
    g_object_set(m_pipeline, "uri", uri.constData(), "audio-sink", audioSink, "audio-filter",
                 audioFilter, "flags", kPlayAudio | (videoSink ? kPlayVideo : 0), nullptr);
    m_gain = gst_bin_get_by_name(GST_BIN(audioFilter), "gain");
    g_object_set(m_gain, "volume", m_volume, nullptr);
    // playbin makes a window-system sink even when told to leave video out: a silent one instead.
    g_object_set(m_pipeline, "video-sink",
                 videoSink ? videoSink : gst_element_factory_make("fakesink", nullptr), nullptr);
    if (several) {
        g_signal_connect_data(m_pipeline, "source-setup", G_CALLBACK(&Files::setUpSource),
                              new std::shared_ptr<Files>(m_files), &Files::release,
                              GConnectFlags(0));
    }

    // Waits for the first picture and sound on the calling thread; the bus is read directly
    // until the watch takes it over.
    const QString name = QFileInfo(m_files->paths.first()).fileName();
    GstBus *bus = gst_element_get_bus(m_pipeline);
    const GstStateChangeReturn change = gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
    GstMessage *message = nullptr;
    if (change == GST_STATE_CHANGE_ASYNC || change == GST_STATE_CHANGE_FAILURE) {
        message = gst_bus_timed_pop_filtered(
            bus, change == GST_STATE_CHANGE_ASYNC ? kStateChangeTimeLimit : 0,
            GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_ASYNC_DONE));
    }
    bool ready = change != GST_STATE_CHANGE_FAILURE;
    if (change == GST_STATE_CHANGE_ASYNC)
        ready = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ASYNC_DONE;
    if (!ready) {
        const QString reason = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR
                                   ? reasonOf(message)
                                   : QStringLiteral("it did not get ready in time.");
        setError(error, playerError(OpenFailed, QStringLiteral("The media file “%1” could not be "
                                                               "opened for playing: %2")
                                                    .arg(name, reason)));
    }
    if (message)
        gst_message_unref(message);
    gst_bus_set_flushing(bus, TRUE); // drops what was read while opening
    gst_bus_set_flushing(bus, FALSE);
    gst_object_unref(bus);
    if (!ready) {
        tearDown();
        return false;
    }

    gint64 duration = 0;
    m_duration = gst_element_query_duration(m_pipeline, GST_FORMAT_TIME, &duration) && duration > 0
                     ? double(duration) / GST_SECOND
                     : 0.0;
    // A movie cut off while recording plays past the length its header tells; the splitting
    // source counts each file by its header.
    for (const QString &path : std::as_const(m_files->paths)) {
        const std::optional<FragmentedMovie::Lengths> lengths = FragmentedMovie::lengths(path);
        if (lengths && several)
            m_duration += std::max(lengths->fragments - lengths->header, 0.0);
        else if (lengths)
            m_duration = std::max(m_duration, lengths->fragments);
    }
    m_rate = 0.0;
    m_segmentSeqnum = GST_SEQNUM_INVALID;
    m_segmentStart = 0.0;
    m_segmentRate = 1.0;
    m_reported.reset();
    m_watch = std::make_unique<BusWatch>(m_pipeline,
                                         [this](GstMessage *message) { handleMessage(message); });
    return true;
}

void MediaPlayer::tearDown()
{
    if (!m_pipeline)
        return;
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    m_watch.reset();
    gst_object_unref(m_gain);
    m_gain = nullptr;
    gst_object_unref(m_pipeline);
    m_pipeline = nullptr;
}

bool MediaPlayer::setVideoSurface(VideoSurface *surface, Error *error)
{
    const double at = position().value_or(0.0);
    const double rate = m_rate;
    tearDown();
    if (!build(surface, error))
        return false;
    return seek(at, error) && setRate(rate, error);
}

bool MediaPlayer::seekAt(double seconds, double rate, Error *error)
{
    double target = std::max(seconds, 0.0);
    if (m_duration > 0.0)
        target = std::min(target, m_duration);
    const auto flags = GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    // Both ends are set: a bound the last seek set in the other direction would end play there.
    const auto at = gint64(toClockTime(target));
    GstEvent *event = rate > 0.0
                          ? gst_event_new_seek(rate, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET, at,
                                               GST_SEEK_TYPE_SET, gint64(GST_CLOCK_TIME_NONE))
                          : gst_event_new_seek(rate, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET, 0,
                                               GST_SEEK_TYPE_SET, at);
    const guint32 seqnum = gst_event_get_seqnum(event);
    if (!gst_element_send_event(m_pipeline, event)) {
        setError(error, playerError(SeekFailed, QStringLiteral("The player could not move to %1 "
                                                               "seconds at rate %2.")
                                                    .arg(target)
                                                    .arg(rate)));
        return false;
    }
    gst_element_get_state(m_pipeline, nullptr, nullptr, kStateChangeTimeLimit);
    m_segmentSeqnum = seqnum;
    m_segmentStart = target;
    m_segmentRate = rate;
    m_reported = target;
    return true;
}

bool MediaPlayer::seek(double seconds, Error *error)
{
    return seekAt(seconds, m_rate != 0.0 ? m_rate : 1.0, error);
}

bool MediaPlayer::setRate(double rate, Error *error)
{
    if (rate == 0.0) {
        m_reported = position();
        if (m_rate != 0.0)
            gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
        m_rate = 0.0;
        return true;
    }
    if (rate != m_segmentRate && !seekAt(position().value_or(0.0), rate, error))
        return false;
    return start(rate, error);
}

bool MediaPlayer::playFrom(double seconds, double rate, Error *error)
{
    if (rate == 0.0)
        return seek(seconds, error) && setRate(0.0, error);
    return seekAt(seconds, rate, error) && start(rate, error);
}

bool MediaPlayer::start(double rate, Error *error)
{
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        setError(error, playerError(PlayFailed, QStringLiteral("The player could not start.")));
        return false;
    }
    m_rate = rate;
    return true;
}

std::optional<double> MediaPlayer::position() const
{
    const GstClockTime running = runningTimeOf(m_pipeline);
    if (!GST_CLOCK_TIME_IS_VALID(running))
        return m_reported;
    double position = m_segmentStart + m_segmentRate * double(running) / GST_SECOND;
    position = std::max(position, 0.0);
    if (m_duration > 0.0)
        position = std::min(position, m_duration);
    if (m_rate == 0.0)
        return position;
    if (m_reported)
        position = m_rate > 0.0 ? std::max(position, *m_reported) : std::min(position, *m_reported);
    m_reported = position;
    return position;
}

void MediaPlayer::setVolume(double volume)
{
    m_volume = std::clamp(volume, 0.0, kMaximumVolume);
    g_object_set(m_gain, "volume", m_volume, nullptr);
}

void MediaPlayer::handleMessage(GstMessage *message)
{
    const GstMessageType type = GST_MESSAGE_TYPE(message);
    if (type != GST_MESSAGE_EOS && type != GST_MESSAGE_ERROR)
        return;
    // The end of a stretch played before the last seek, delivered after it: that stretch is gone.
    if (type == GST_MESSAGE_EOS && m_segmentSeqnum != GST_SEQNUM_INVALID &&
        gst_message_get_seqnum(message) != m_segmentSeqnum)
        return;
    const double direction = m_rate;
    pause();
    if (type == GST_MESSAGE_EOS) {
        // Rests exactly at the end reached, which the sink's last report may miss a little.
        seek(direction < 0.0 ? 0.0 : m_duration);
        if (const auto handler = m_endHandler)
            handler();
        return;
    }
    const Error failure(QStringLiteral("media"), PlaybackFailed,
                        QStringLiteral("Playback failed: %1").arg(reasonOf(message)));
    if (const auto handler = m_failureHandler)
        handler(failure);
}

} // namespace lq
