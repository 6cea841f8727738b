#include "engines/legacy/WrenRecordingSession.h"

#include "engines/LQRecordingController.h"
#include "engines/legacy/CaptureFailure.h"
#include "engines/legacy/CompressionOptions.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/CaptureDevices.h"
#include "platform/media/CapturePreviewHost.h"
#include "platform/media/FragmentedMovie.h"
#include "platform/media/MovieIndex.h"
#include "platform/media/NaturalSizeHolder.h"
#include "platform/media/VideoSurface.h"
#include "preferences/PrefsController.h"
#include "shared/RecordingErrors.h"

#include <QFile>
#include <QPointer>
#include <QUrl>
#include <QWidget>

using namespace std::chrono_literals;

namespace {

constexpr auto kLevelPeriod = 100ms;
constexpr auto kRetryDelay = 500ms;
constexpr auto kStopAfterErrorDelay = 1000ms;
// A stop waits this long for a second of media before it ends the session.
constexpr auto kStartWaitLimit = 10s;
constexpr double kMediaBeforeStop = 1.0;

// The length of a finished movie: its header's, or up to its last complete fragment.
std::optional<double> movieLength(const QString &path)
{
    if (const std::optional<double> fragments = lq::FragmentedMovie::playableDuration(path))
        return fragments;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const lq::movie::MovieLayout layout = lq::movie::readMovieLayout(file);
    const std::optional<lq::movie::Box> header = layout.header();
    const std::optional<lq::movie::MovieTime> time =
        header ? lq::movie::readMovieTime(layout.moov, *header) : std::nullopt;
    if (!time || time->timescale == 0)
        return std::nullopt;
    return double(time->duration) / time->timescale;
}

} // namespace

WrenRecordingSession::WrenRecordingSession()
    : WrenRecordingSession(
          Services{&PrefsController::sharedController(), &lq::CaptureDevices::current()})
{}

WrenRecordingSession::WrenRecordingSession(Services services)
    : m_services(services), m_join(m_files, *this)
{
    lq::CaptureGraph::preloadElements();
    m_levelTimer.setInterval(kLevelPeriod);
    connect(&m_levelTimer, &QTimer::timeout, this, &WrenRecordingSession::updateAudioLevels);
    m_retryTimer.setSingleShot(true);
    m_retryTimer.setInterval(kRetryDelay);
    connect(&m_retryTimer, &QTimer::timeout, this, [this] {
        if (m_currentlyRecording && m_writingFile)
            switchToNextFile();
    });
    resetSession();
}

WrenRecordingSession::~WrenRecordingSession()
{
    m_levelTimer.stop();
    m_retryTimer.stop();
    delete m_graph;
}

// Previews -----------------------------------------------------------------------------------

bool WrenRecordingSession::previewAudio()
{
    return lq::runOnMainThread([this] {
        // A recording keeps its graph; the wish is honoured when the session finishes.
        if (m_writingFile) {
            m_shouldPreviewAudio = true;
            return true;
        }
        if (m_graph->hasInput(Kind::Audio) ||
            !addDevice(m_services.preferences->currentAudioDevice(), Kind::Audio))
            return false;
        m_shouldPreviewAudio = true;
        return true;
    });
}

bool WrenRecordingSession::previewVideo()
{
    return lq::runOnMainThread([this] {
        if (m_writingFile) {
            m_shouldPreviewVideo = true;
            return true;
        }
        if (m_graph->hasInput(Kind::Video))
            return false;
        // The camera comes first, so that a device serving both is opened once.
        if (m_shouldPreviewAudio)
            removeDevice(Kind::Audio);
        const bool added = addDevice(m_services.preferences->currentVideoDevice(), Kind::Video);
        if (m_shouldPreviewAudio)
            addDevice(m_services.preferences->currentAudioDevice(), Kind::Audio);
        if (added)
            m_shouldPreviewVideo = true;
        return added;
    });
}

bool WrenRecordingSession::stopAudioPreview()
{
    return lq::runOnMainThread([this] {
        if (m_writingFile)
            return m_shouldPreviewAudio.exchange(false);
        if (!m_graph->hasInput(Kind::Audio))
            return false;
        removeDevice(Kind::Audio);
        m_shouldPreviewAudio = false;
        return true;
    });
}

bool WrenRecordingSession::stopVideoPreview()
{
    return lq::runOnMainThread([this] {
        if (m_writingFile)
            return m_shouldPreviewVideo.exchange(false);
        if (!m_graph->hasInput(Kind::Video))
            return false;
        removeDevice(Kind::Video);
        m_shouldPreviewVideo = false;
        return true;
    });
}

void WrenRecordingSession::restorePreviews()
{
    if (m_shouldPreviewVideo && !m_graph->hasInput(Kind::Video))
        addDevice(m_services.preferences->currentVideoDevice(), Kind::Video);
    if (m_shouldPreviewAudio && !m_graph->hasInput(Kind::Audio))
        addDevice(m_services.preferences->currentAudioDevice(), Kind::Audio);
}

// Devices ------------------------------------------------------------------------------------

bool WrenRecordingSession::addDevice(const QString &uniqueId, Kind kind)
{
    const bool audio = kind == Kind::Audio;
    if (!mayUseDevice(audio, uniqueId))
        return false;
    const std::optional<lq::CaptureDevice> device =
        uniqueId.isEmpty() ? std::nullopt : m_services.devices->device(uniqueId);
    if (!device)
        return false;
    m_graph->stop();
    m_graph->addInput(kind, uniqueId, device->kind == lq::CaptureDeviceKind::Muxed);
    if (audio) {
        m_graph->setAudioEncoding(
            CompressionOptions::audio(m_services.preferences->currentAudioQuality()));
        m_levelTimer.start();
    } else {
        m_graph->setVideoEncoding(
            CompressionOptions::video(m_services.preferences->currentVideoQuality()));
        m_captureSize = m_services.preferences->currentVideoSize();
        if (auto *holder = dynamic_cast<lq::NaturalSizeHolder *>(captureView()))
            holder->setNaturalSize(QSizeF(m_captureSize));
    }
    if (startGraph())
        return true;
    lq::log(QStringLiteral("Failed to open device %1 of type %2\n")
                .arg(uniqueId, audio ? QStringLiteral("audio") : QStringLiteral("video")));
    removeDevice(kind);
    return false;
}

void WrenRecordingSession::removeDevice(Kind kind)
{
    m_graph->stop();
    m_graph->removeInput(kind);
    if (kind == Kind::Audio) {
        m_levelTimer.stop();
        setAudioLevel(kIdleAudioLevel);
    } else {
        m_captureSize = QSize();
    }
    if (m_graph->hasInput(Kind::Audio) || m_graph->hasInput(Kind::Video))
        startGraph();
}

bool WrenRecordingSession::startGraph()
{
    bindPreview();
    lq::Error error;
    if (m_graph->start(&error))
        return true;
    lq::log(QStringLiteral("Failed to start the capture: %1\n").arg(error.localizedDescription()));
    return false;
}

void WrenRecordingSession::resetSession()
{
    lq::runOnMainThread([this] {
        m_retryTimer.stop();
        m_levelTimer.stop();
        setAudioLevel(kIdleAudioLevel);
        auto *graph = new lq::CaptureGraph(this);
        connect(graph, &lq::CaptureGraph::fileStarted, this, &WrenRecordingSession::onFileStarted);
        connect(graph, &lq::CaptureGraph::fileFinished, this,
                &WrenRecordingSession::onFileFinished);
        lq::CaptureGraph *old = nullptr;
        {
            std::lock_guard lock(m_graphMutex);
            old = std::exchange(m_graph, graph);
        }
        if (old) {
            // The old graph may be the sender of the signal being handled.
            old->disconnect(this);
            old->stop();
            old->deleteLater();
        }
        m_startedRecording = false;
    });
}

void WrenRecordingSession::bindPreview()
{
    QWidget *view = captureView();
    auto *host = dynamic_cast<CapturePreviewHost *>(view);
    m_graph->setPreviewSurface(host ? host->previewSurface()
                                    : qobject_cast<lq::VideoSurface *>(view));
}

void WrenRecordingSession::updateAudioLevels()
{
    if (const std::optional<double> level = lq::CaptureGraph::meanLevel(m_graph->channelLevels()))
        setAudioLevel(float(*level));
}

// A session ----------------------------------------------------------------------------------

bool WrenRecordingSession::startRecording(const QString &fileStem, bool audio, bool video)
{
    if (lq::isMainThread())
        lq::runEventLoopUntil([this] { return !m_writingFile; }, kStartWaitLimit);
    return lq::runOnMainThread([&] {
        m_retryTimer.stop();
        resetSession();
        const auto failed = [this] {
            restorePreviews();
            return false;
        };
        if (video && !addDevice(m_services.preferences->currentVideoDevice(), Kind::Video))
            return failed();
        if (audio && !addDevice(m_services.preferences->currentAudioDevice(), Kind::Audio)) {
            if (video && !m_shouldPreviewVideo)
                removeDevice(Kind::Video);
            return failed();
        }
        m_stem = fileStem;
        m_files.begin(fileStem);
        const QString first = m_files.nextFile();
        if (first.isEmpty())
            return failed();
        m_currentlyRecording = true;
        m_writingFile = true;
        m_previouslyGotTime = false;
        bindPreview();
        lq::Error error;
        if (!m_graph->startRecording(first, &error)) {
            lq::log(QStringLiteral("Failed to start recording to %1: %2\n")
                        .arg(first, error.localizedDescription()));
            m_currentlyRecording = false;
            m_writingFile = false;
            resetSession();
            return failed();
        }
        return true;
    });
}

bool WrenRecordingSession::stopRecording(QStringList *files)
{
    const bool wroteFiles = lq::runOnMainThread([this] {
        // A session stopped at once still gets its first second of media, if it comes at all.
        lq::runEventLoopUntil(
            [this] {
                return !m_writingFile || currentFileDuration().value_or(0.0) >= kMediaBeforeStop;
            },
            kStartWaitLimit);
        const bool started = m_startedRecording;
        m_currentlyRecording = false;
        m_retryTimer.stop();
        if (!started || !m_graph->isRecording()) {
            // Nothing more will finish: never begun, or ended by an error.
            finishSession();
        } else {
            m_graph->stopRecording();
        }
        return started;
    });
    if (files)
        *files = wroteFiles ? m_files.names(true) : QStringList();
    return true;
}

void WrenRecordingSession::finishSession()
{
    m_writingFile = false;
    m_currentlySaving = false;
    resetSession();
    restorePreviews();
    sendSessionRecordingCompleted();
}

bool WrenRecordingSession::nowInterval(double *seconds)
{
    if (!m_currentlyRecording)
        return false;
    const std::optional<double> current = currentFileDuration();
    if (!current) {
        if (m_previouslyGotTime) {
            lq::log(QStringLiteral("Failed to get current recorded duration from %1\n")
                        .arg(m_files.paths().value(0)));
        }
        return false;
    }
    m_previouslyGotTime = true;
    if (seconds)
        *seconds = m_files.lengthOfAllButLast() + *current;
    return true;
}

std::optional<double> WrenRecordingSession::currentFileDuration() const
{
    std::lock_guard lock(m_graphMutex);
    return m_graph ? m_graph->recordedDurationOfCurrentFile() : std::nullopt;
}

// Partial files ------------------------------------------------------------------------------

bool WrenRecordingSession::prepareToSave(QStringList *files)
{
    setCancelMerging(true);
    if (files)
        *files = m_files.names(!m_currentlyRecording);
    if (!m_currentlyRecording)
        return true;
    return lq::runOnMainThread([this] { return switchToNextFile(); });
}

bool WrenRecordingSession::switchToNextFile()
{
    const std::optional<double> ending = currentFileDuration();
    const QString next = m_files.nextFile();
    if (next.isEmpty())
        return false;
    m_files.appendProvisionalLength(ending.value_or(0.0));
    m_currentlySaving = true;
    m_retryTimer.stop();
    m_graph->switchFile(next);
    return true;
}

void WrenRecordingSession::startMerge()
{
    QMetaObject::invokeMethod(
        this, [this] { m_join.start(); }, Qt::QueuedConnection);
}

// The graph's reports ------------------------------------------------------------------------

void WrenRecordingSession::onFileStarted(const QString &path, double secondsAgo)
{
    m_startedRecording = true;
    const QStringList paths = m_files.paths();
    if (!paths.isEmpty() && paths.first() == path)
        sendDidStartRecordingToOutputFile(QUrl::fromLocalFile(m_stem), secondsAgo);
}

void WrenRecordingSession::onFileFinished(const QString &path, const lq::Error &error)
{
    if (!error.isNull()) {
        const CaptureFailure::Kind kind = CaptureFailure::classify(error);
        if (kind == CaptureFailure::Kind::Discontinuity && m_recordingFailures < 1) {
            // Once in the engine's life the recording goes on, in the next file.
            ++m_recordingFailures;
            m_retryTimer.start();
            return;
        }
        if (kind != CaptureFailure::Kind::Ignored) {
            m_writingFile = false;
            stopForError();
            if (kind != CaptureFailure::Kind::DeviceRemoved)
                reportRecordingError(errorHandler(), CaptureFailure::message(error, path), false);
        }
    }
    if (m_currentlyRecording) {
        if (const std::optional<double> length = movieLength(path))
            m_files.setFinishedLength(path, *length);
    }
    m_currentlySaving = false;
    // The last file of a stopped session.
    if (!m_currentlyRecording && !m_graph->isRecording())
        finishSession();
}

void WrenRecordingSession::stopForError()
{
    QTimer::singleShot(kStopAfterErrorDelay, this, [this] {
        if (LQRecordingController *controller = ownerController())
            controller->stopRecording();
    });
}
