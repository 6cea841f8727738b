#include "engines/avf/LQRecordingSession.h"

#include "engines/LQMediaFileNames.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/CaptureDevices.h"
#include "platform/media/GStreamer.h"
#include "platform/media/Letterbox.h"
#include "platform/media/MediaInfo.h"
#include "platform/media/NaturalSizeHolder.h"
#include "platform/media/VideoSurface.h"
#include "preferences/PrefsController.h"
#include "shared/RecordingErrors.h"

#include <QEvent>
#include <QFileInfo>
#include <QResizeEvent>
#include <QUrl>
#include <QWidget>

#include <algorithm>

using lq::CaptureGraph;
using Kind = lq::CaptureGraph::Kind;
using namespace std::chrono_literals;

namespace {

constexpr auto kLevelPeriod = 100ms;
// How long a rebuild waits for the last file of a session to be finished.
constexpr auto kWritingWaitLimit = 30s;
constexpr auto kProbeTimeLimit = 10s;

} // namespace

LQRecordingSession::LQRecordingSession()
    : LQRecordingSession(
          Services{&PrefsController::sharedController(), &lq::CaptureDevices::current()})
{}

LQRecordingSession::LQRecordingSession(Services services) : m_services(services)
{
    CaptureGraph::preloadElements();
    m_levelTimer.setInterval(kLevelPeriod);
    connect(&m_levelTimer, &QTimer::timeout, this, &LQRecordingSession::updateAudioLevels);
    m_sizeCheckTimer.setInterval(kSizeCheckPeriod);
    connect(&m_sizeCheckTimer, &QTimer::timeout, this, &LQRecordingSession::sizeCheck);
}

LQRecordingSession::~LQRecordingSession()
{
    m_levelTimer.stop();
    m_sizeCheckTimer.stop();
    delete m_graph;
}

bool LQRecordingSession::exceedsSizeLimit(qint64 bytes, qint64 limit)
{
    return bytes > limit;
}

QRectF LQRecordingSession::aspectFitFrame(const QRectF &frame, const QSizeF &size)
{
    // The side that stays whole keeps the frame's origin.
    QRectF fitted = lq::letterboxFrame(size.width() / size.height(), frame.size());
    if (fitted.size() == frame.size())
        return frame;
    if (fitted.width() == frame.width())
        fitted.moveLeft(frame.x());
    else
        fitted.moveTop(frame.y());
    return fitted;
}

void LQRecordingSession::setSizeCheck(qint64 limitBytes, std::chrono::milliseconds period)
{
    m_sizeLimit = limitBytes;
    m_sizeCheckTimer.setInterval(period);
}

// Previews ---------------------------------------------------------------------------------------

bool LQRecordingSession::previewAudio()
{
    return lq::runOnMainThread([this] {
        std::lock_guard lock(m_lock);
        // A recording keeps its graph; the wish is honoured when the session finishes.
        if (!m_currentlyRecording && !m_writingFile &&
            !(rebuildWithDevices(true, m_shouldPreviewVideo) && startGraph()))
            return false;
        m_shouldPreviewAudio = true;
        return true;
    });
}

bool LQRecordingSession::previewVideo()
{
    return lq::runOnMainThread([this] {
        std::lock_guard lock(m_lock);
        if (!m_currentlyRecording && !m_writingFile &&
            !(rebuildWithDevices(m_shouldPreviewAudio, true) && startGraph()))
            return false;
        m_shouldPreviewVideo = true;
        return true;
    });
}

bool LQRecordingSession::stopAudioPreview()
{
    return lq::runOnMainThread([this] {
        std::lock_guard lock(m_lock);
        if (!m_shouldPreviewAudio)
            return false;
        m_shouldPreviewAudio = false;
        if (!m_currentlyRecording && !m_writingFile) {
            destroySession();
            if (m_shouldPreviewVideo)
                previewVideo();
        }
        return true;
    });
}

bool LQRecordingSession::stopVideoPreview()
{
    return lq::runOnMainThread([this] {
        std::lock_guard lock(m_lock);
        if (!m_shouldPreviewVideo)
            return false;
        m_shouldPreviewVideo = false;
        if (!m_currentlyRecording && !m_writingFile) {
            destroySession();
            if (m_shouldPreviewAudio)
                previewAudio();
        }
        return true;
    });
}

bool LQRecordingSession::rebuildWithDevices(bool audio, bool video)
{
    resetSession();
    if (audio && !addDevice(m_services.preferences->currentAudioDevice(), Kind::Audio))
        return false;
    return !video || addDevice(m_services.preferences->currentVideoDevice(), Kind::Video);
}

void LQRecordingSession::resetPreview()
{
    if (m_shouldPreviewVideo)
        previewVideo();
    else if (m_shouldPreviewAudio)
        previewAudio();
}

// Recording --------------------------------------------------------------------------------------

bool LQRecordingSession::startRecording(const QString &fileStem, bool audio, bool video)
{
    return lq::runOnMainThread([&] {
        std::lock_guard lock(m_lock);
        if (!rebuildWithDevices(audio, video))
            return false;
        ++m_sessionNumber;
        m_recFileStem = fileStem;
        m_recFiles.clear();
        m_fileLengths.clear();
        m_recFileNumber = 0;
        const QString first = nextFile();
        lq::Error error;
        if (!m_graph->startRecording(first, &error)) {
            lq::log(QStringLiteral("Failed to start recording to %1: %2\n")
                        .arg(first, error.localizedDescription()));
            m_recFiles.clear();
            return false;
        }
        m_currentlyRecording = true;
        m_writingFile = true;
        m_sizeCheckTimer.start();
        return true;
    });
}

bool LQRecordingSession::stopRecording(QStringList *files)
{
    return lq::runOnMainThread([&] {
        std::lock_guard lock(m_lock);
        if (m_graph)
            m_graph->stopRecording();
        endRecordingState();
        if (files)
            *files = lastPathForRecFiles();
        return true;
    });
}

void LQRecordingSession::endRecordingState()
{
    m_currentlyRecording = false;
    m_sizeCheckTimer.stop();
    m_levelTimer.stop();
    setAudioLevel(kIdleAudioLevel);
}

bool LQRecordingSession::nowInterval(double *seconds)
{
    std::lock_guard lock(m_lock);
    const std::optional<double> current =
        m_graph ? m_graph->recordedDurationOfCurrentFile() : std::nullopt;
    if (m_recFiles.isEmpty() || !current)
        return false;
    double total = *current;
    const qsizetype earlier = std::min(m_recFiles.size() - 1, m_fileLengths.size());
    for (qsizetype i = 0; i < earlier; ++i)
        total += m_fileLengths[i];
    if (seconds)
        *seconds = total;
    return true;
}

bool LQRecordingSession::prepareToSave(QStringList *files)
{
    if (files)
        *files = lastPathForRecFiles();
    return true;
}

QString LQRecordingSession::nextFile()
{
    std::lock_guard lock(m_lock);
    const QString path = LQMediaFileNames::fileName(m_recFileStem, m_recFileNumber++);
    m_recFiles.append(path);
    return path;
}

QStringList LQRecordingSession::lastPathForRecFiles() const
{
    std::lock_guard lock(m_lock);
    QStringList names;
    for (const QString &path : m_recFiles)
        names.append(QFileInfo(path).fileName());
    return names;
}

void LQRecordingSession::sizeCheck()
{
    std::lock_guard lock(m_lock);
    if (!m_currentlyRecording || m_recFiles.isEmpty())
        return;
    const QFileInfo file(m_recFiles.last());
    if (!file.exists()) {
        lq::log(QStringLiteral("Failed to get attributes of current recording file %1: %2\n")
                    .arg(file.filePath(), QStringLiteral("no such file")));
        return;
    }
    if (!exceedsSizeLimit(file.size(), m_sizeLimit))
        return;
    // Until its finish replaces it, the closing file counts with what it held now.
    const std::optional<double> current = m_graph->recordedDurationOfCurrentFile();
    m_fileLengths.append(current.value_or(0.0));
    m_graph->switchFile(nextFile());
}

void LQRecordingSession::onFileStarted(const QString &path, double secondsAgo)
{
    std::unique_lock lock(m_lock);
    const bool first = !m_recFiles.isEmpty() && m_recFiles.first() == path;
    lock.unlock();
    if (first)
        sendDidStartRecordingToOutputFile(QUrl::fromLocalFile(path), secondsAgo);
}

void LQRecordingSession::onFileFinished(const QString &path, const lq::Error &error)
{
    std::unique_lock lock(m_lock);
    const bool last = !m_recFiles.isEmpty() && m_recFiles.last() == path;
    const int session = m_sessionNumber;
    if (last) {
        m_writingFile = false;
        if (m_currentlyRecording) // ended by a failure, not by a stop
            endRecordingState();
    }
    lock.unlock();

    if (!error.isNull()) {
        stopForError();
        QMetaObject::invokeMethod(
            this, [this, path, error] { reportError(path, error); }, Qt::QueuedConnection);
    }

    // The length arrives later: the window must not wait for the file to be read.
    if (QFileInfo::exists(path)) {
        lq::MediaInfo::probeInBackground(
            {path}, kProbeTimeLimit, this, [this, session](const QList<lq::ProbeResult> &results) {
                if (results.value(0).info)
                    setFileLength(session, results[0].path, results[0].info->duration);
            });
    }

    if (!last)
        return; // a size switch
    destroySession();
    sendSessionRecordingCompleted();
    resetPreview();
}

void LQRecordingSession::setFileLength(int session, const QString &path, double seconds)
{
    std::lock_guard lock(m_lock);
    if (session != m_sessionNumber)
        return; // a later session has its own files
    const qsizetype index = m_recFiles.lastIndexOf(path);
    if (index >= 0 && index < m_fileLengths.size())
        m_fileLengths[index] = seconds;
    else if (index >= 0 && index == m_fileLengths.size())
        m_fileLengths.append(seconds);
    else
        lq::log(QStringLiteral("Finished file %1 has no place in the length list.\n").arg(path));
}

// Errors -----------------------------------------------------------------------------------------

void LQRecordingSession::stopForError()
{
    sendRecordingStopped();
}

void LQRecordingSession::reportError(const QString &path, const lq::Error &error)
{
    lq::log(QStringLiteral("Error recording to %1, domain=%2, code=%3, %4\n")
                .arg(QUrl::fromLocalFile(path).toString(), error.domain())
                .arg(error.code())
                .arg(error.localizedDescription()));
    // The user is told the cause in words, without the media layer's codes.
    QString cause = error.localizedDescription().trimmed();
    while (cause.endsWith(QLatin1Char('.')))
        cause.chop(1);
    reportRecordingError(errorHandler(),
                         lq::GStreamer::isDiskFull(error)
                             ? QStringLiteral("Error, disk is full. Cannot continue recording.")
                             : QStringLiteral("Error recording to %1: %2.").arg(path, cause),
                         false);
}

// The capture graph ------------------------------------------------------------------------------

void LQRecordingSession::waitWhileWritingFile()
{
    // Tearing the graph down now would lose the end of the last file.
    if (m_writingFile && lq::isMainThread())
        lq::runEventLoopUntil([this] { return !m_writingFile; }, kWritingWaitLimit);
}

void LQRecordingSession::resetSession()
{
    std::lock_guard lock(m_lock);
    waitWhileWritingFile();
    destroySession();
    m_graph = new CaptureGraph(this);
    connect(m_graph, &CaptureGraph::fileStarted, this, &LQRecordingSession::onFileStarted);
    connect(m_graph, &CaptureGraph::fileFinished, this, &LQRecordingSession::onFileFinished);
    if (captureView())
        createCaptureLayer();
}

void LQRecordingSession::destroySession()
{
    std::lock_guard lock(m_lock);
    m_sizeCheckTimer.stop();
    if (m_graph) {
        // The graph may be the sender of the signal being handled.
        m_graph->disconnect(this);
        m_graph->stop();
        m_graph->deleteLater();
        m_graph = nullptr;
    }
    if (m_preview)
        m_preview->deleteLater();
    m_preview = nullptr;
    setAudioLevel(kIdleAudioLevel);
}

bool LQRecordingSession::startGraph()
{
    lq::Error error;
    if (m_graph->start(&error))
        return true;
    lq::log(QStringLiteral("Failed to start the capture: %1\n").arg(error.localizedDescription()));
    return false;
}

void LQRecordingSession::createCaptureLayer()
{
    QWidget *view = captureView();
    for (QWidget *child : view->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        delete child;
    m_preview = new lq::VideoSurface(view);
    m_preview->setGravity(lq::VideoSurface::Gravity::ResizeAspectFill);
    m_preview->setGeometry(view->rect());
    m_preview->show();
    view->removeEventFilter(this);
    view->installEventFilter(this);
    m_graph->setPreviewSurface(m_preview);
}

bool LQRecordingSession::eventFilter(QObject *watched, QEvent *event)
{
    // The picture keeps its margins as the view resizes.
    if (event->type() == QEvent::Resize && watched == captureView() && m_preview) {
        const auto *resize = static_cast<QResizeEvent *>(event);
        if (resize->oldSize().isValid()) {
            const QSize grown = resize->size() - resize->oldSize();
            m_preview->setGeometry(
                m_preview->geometry().adjusted(0, 0, grown.width(), grown.height()));
        }
    }
    return LQRecSession::eventFilter(watched, event);
}

bool LQRecordingSession::addDevice(const QString &uniqueId, Kind kind)
{
    waitWhileWritingFile();
    return lq::runOnMainThread([&] { return addDeviceOnMain(uniqueId, kind); });
}

bool LQRecordingSession::addDeviceOnMain(const QString &uniqueId, Kind kind)
{
    const bool audio = kind == Kind::Audio;
    if (!mayUseDevice(audio, uniqueId))
        return false;
    const std::optional<lq::CaptureDevice> device =
        uniqueId.isEmpty() ? std::nullopt : m_services.devices->device(uniqueId);
    if (!device || !m_graph)
        return false;
    if (m_graph->isRunning())
        m_graph->stop();
    const bool muxed = device->kind == lq::CaptureDeviceKind::Muxed;
    m_graph->addInput(kind, uniqueId, muxed);
    if (audio) {
        m_graph->setAudioEncoding(
            lq::AudioEncoding::forToken(m_services.preferences->currentAudioQuality()));
        m_levelTimer.start();
        return true;
    }
    m_graph->setVideoEncoding(
        lq::VideoEncoding::forToken(m_services.preferences->currentVideoQuality()));
    m_captureSize = m_services.preferences->currentVideoSize();
    if (auto *holder = dynamic_cast<lq::NaturalSizeHolder *>(captureView()))
        holder->setNaturalSize(QSizeF(m_captureSize));
    if (m_preview)
        m_preview->setGeometry(aspectFitFrame(m_preview->geometry(), m_captureSize).toRect());
    return true;
}

void LQRecordingSession::updateAudioLevels()
{
    std::lock_guard lock(m_lock);
    const std::optional<double> level =
        m_graph ? CaptureGraph::meanLevel(m_graph->channelLevels()) : std::nullopt;
    if (level)
        setAudioLevel(float(*level));
}
