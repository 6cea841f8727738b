#include "model/WrenRecording.h"

#include "engines/LQEngineFactory.h"
#include "engines/LQMediaFileNames.h"
#include "engines/LQPlaySession.h"
#include "engines/LQRecSession.h"
#include "model/CallRecorderFilePicker.h"
#include "model/MediaPlayabilityCheck.h"
#include "model/OldMediaConverter.h"
#include "model/RecordingOwner.h"
#include "model/RecordingWindowController.h"
#include "model/StampWalk.h"
#include "model/VideoViewFactory.h"
#include "model/WrenEvents.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ScriptRunner.h"
#include "platform/foundation/UndoManager.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/MediaFlattener.h"
#include "platform/media/MediaInfo.h"
#include "platform/ui/AlertPresenter.h"
#include "platform/ui/SystemSleepMonitor.h"
#include "preferences/PrefsController.h"
#include "shared/RecordingErrors.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

#include <chrono>
#include <cmath>
#include <functional>

namespace {

const QString kTimerSessionsKey = QStringLiteral("timerSessions");
const QString kEventsKey = QStringLiteral("wrenEvents");
const QString kSlidesSavedKey = QStringLiteral("slidesSaved");
const QString kVideoRecordedKey = QStringLiteral("videoRecorded");
const QString kRecordingFilesKey = QStringLiteral("recordingFiles");
const QString kAVFPlayableKey = QStringLiteral("AVFPlayable");

constexpr std::chrono::milliseconds kDelayedPlay{500};
constexpr auto kEngineWaitLimit = std::chrono::hours(24);
constexpr std::chrono::minutes kMovieWriteLimit{30};

const QString kUseCallRecorderKey = QStringLiteral("useCallRecorder");
const QString kSuppressCallRecorderWarningKey = QStringLiteral("suppressCallRecorderWarning");
const QString kJumpBackTimeKey = QStringLiteral("defaultJumpBackTime");
const QString kCallRecorderApplication = QStringLiteral("Skype");
const QString kCallRecorderStartEvent = QStringLiteral("\u00abevent CLreStrt\u00bb");
const QString kCallRecorderStopEvent = QStringLiteral("\u00abevent CLreStop\u00bb");
const QString kVideoViewToolTip =
    QStringLiteral("Double-click to promote Video to its own window.");
constexpr double kDefaultJumpBackTime = 30.0;
// Beyond this a jump ends playback.
constexpr double kEndPercentage = 99.99999;
// A playhead this close to the end shows the end.
constexpr double kFullPercentage = 99.9;

bool modernEnginesRun()
{
    return LQEngineFactory::current().runTimeFamily() == LQEngineFactory::Family::Modern;
}

bool isDirectory(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

// Waits, processing events, while the engine reports work under way.
void waitWhile(const std::function<bool()> &busy)
{
    lq::runEventLoopUntil([&busy] { return !busy(); }, kEngineWaitLimit);
}

} // namespace

WrenRecording::WrenRecording()
    : m_recordingSession(LQEngineFactory::current().makeRecordingEngine())
    , m_events(std::make_shared<WrenEvents>())
    , m_clockTime(lq::clockEpoch())
{
    if (m_recordingSession)
        m_recordingSession->setOwner(this);
    m_avfPlayable = modernEnginesRun();
}

WrenRecording::~WrenRecording()
{
    m_delayedPlay.cancel();
    m_reloadAfterReset.cancel();
    m_pendingPercentage.cancel();
    m_phase2.cancel();
    lq::NotificationCenter::defaultCenter().removeObserver(this);
    m_timers.stopAll();
    disconnect(m_audioLevelConnection);
    for (QWidget *view : {m_captureView.data(), m_movieView.data()}) {
        if (view)
            view->deleteLater();
    }
    for (const SessionPtr &session : m_timerSessions) {
        if (session->owner() == this)
            session->setOwner(nullptr);
    }
    if (m_recordingSession)
        m_recordingSession->setOwner(nullptr);
}

bool WrenRecording::isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

// Archive

QStringList WrenRecording::archiveClassNames() const
{
    return {QLatin1String(kArchiveClassName), QStringLiteral("NSObject")};
}

void WrenRecording::encodeWithCoder(lq::KeyedArchiver &coder) const
{
    lq::ArchiveArray sessions;
    lq::ArchiveDictionary files;
    {
        std::lock_guard lock(m_modelMutex);
        sessions.reserve(static_cast<qsizetype>(m_timerSessions.size()));
        for (const SessionPtr &session : m_timerSessions)
            sessions.append(lq::ArchiveValue::object(session));
        for (auto it = m_recordingFiles.cbegin(); it != m_recordingFiles.cend(); ++it) {
            lq::ArchiveArray names;
            for (const QString &name : it.value())
                names.append(lq::ArchiveValue::string(name));
            files.append({lq::ArchiveValue::integer(it.key()), lq::ArchiveValue::array(names)});
        }
    }
    coder.encodeObject(kTimerSessionsKey, lq::ArchiveValue::array(sessions));
    coder.encodeObject(kEventsKey, lq::ArchiveValue::object(m_events));
    if (hasSlides())
        coder.encodeBool(kSlidesSavedKey, true);
    coder.encodeBool(kVideoRecordedKey, m_videoRecorded);
    coder.encodeObject(kRecordingFilesKey, lq::ArchiveValue::dictionary(files));
    coder.encodeBool(kAVFPlayableKey, AVFPlayable());
}

lq::ArchivablePtr WrenRecording::initWithCoder(lq::KeyedUnarchiver &coder)
{
    auto recording = std::make_shared<WrenRecording>();
    recording->m_avfPlayable = false;
    if (!decodeSessions(coder, *recording) || !decodeRecordingFiles(coder, *recording) ||
        !decodeEvents(coder, *recording))
        return nullptr;
    recording->m_slidesSaved = coder.decodeBool(kSlidesSavedKey);
    recording->m_videoRecorded = coder.decodeBool(kVideoRecordedKey);
    recording->m_avfPlayable = coder.decodeBool(kAVFPlayableKey);
    return coder.hasFailed() ? nullptr : recording;
}

bool WrenRecording::decodeSessions(lq::KeyedUnarchiver &coder, WrenRecording &recording)
{
    const lq::ArchiveValue value = coder.decodeObject(kTimerSessionsKey);
    if (value.isNull())
        return true;
    if (value.kind() != lq::ArchiveValue::Kind::Array) {
        coder.failWithReason(QStringLiteral("The recording's session list is not a list."));
        return false;
    }
    for (const lq::ArchiveValue &entry : value.toArray()) {
        SessionPtr session = entry.objectAs<WrenTimerSession>();
        if (!session) {
            coder.failWithReason(QStringLiteral("The recording's session list holds a value "
                                                "that is no session."));
            return false;
        }
        session->setSaved(true);
        recording.adoptSession(session);
        recording.m_timerSessions.push_back(session);
    }
    return true;
}

bool WrenRecording::decodeRecordingFiles(lq::KeyedUnarchiver &coder, WrenRecording &recording)
{
    const int32_t sessionCount = static_cast<int32_t>(recording.m_timerSessions.size());
    if (!coder.containsValue(kRecordingFilesKey)) {
        for (int32_t i = 0; i < sessionCount; ++i) {
            if (recording.sessionHasMedia(*recording.m_timerSessions[size_t(i)]))
                recording.m_recordingFiles.insert(
                    i, {QString::asprintf("%s-%d.%s", "recording", i, "mov")});
        }
        return true;
    }
    const lq::ArchiveValue value = coder.decodeObject(kRecordingFilesKey);
    if (value.kind() != lq::ArchiveValue::Kind::Dictionary) {
        coder.failWithReason(QStringLiteral("The recording's file list is not a dictionary."));
        return false;
    }
    for (const auto &[key, names] : value.toDictionary()) {
        if (key.kind() != lq::ArchiveValue::Kind::Integer || key.toInteger() < 0 ||
            key.toInteger() >= sessionCount) {
            lq::log(QStringLiteral("Program error, media files listed for a session the recording "
                                   "does not have; they are left out.\n"));
            continue;
        }
        if (names.kind() != lq::ArchiveValue::Kind::Array) {
            lq::log(QStringLiteral("Program error, the media files of session %1 are no list; "
                                   "they are left out.\n")
                        .arg(key.toInteger()));
            continue;
        }
        QStringList kept;
        for (const lq::ArchiveValue &name : names.toArray()) {
            if (name.kind() == lq::ArchiveValue::Kind::String && isPlainFileName(name.toString()))
                kept.append(name.toString());
            else
                lq::log(QStringLiteral("Program error, media file name \"%1\" of session %2 is "
                                       "not a plain file name; it is left out.\n")
                            .arg(name.toString())
                            .arg(key.toInteger()));
        }
        recording.m_recordingFiles.insert(static_cast<int32_t>(key.toInteger()), kept);
    }
    return true;
}

bool WrenRecording::decodeEvents(lq::KeyedUnarchiver &coder, WrenRecording &recording)
{
    const lq::ArchiveValue value = coder.decodeObject(kEventsKey);
    if (!value.isNull()) {
        recording.m_events = value.objectAs<WrenEvents>();
        if (!recording.m_events) {
            coder.failWithReason(QStringLiteral("The recording's event store is no event store."));
            return false;
        }
    }
    if (!recording.m_events->hasSessionLengths()) {
        for (int32_t i = 0; i < static_cast<int32_t>(recording.m_timerSessions.size()); ++i) {
            double length = 0.0;
            if (recording.m_timerSessions[size_t(i)]->length(&length))
                recording.m_events->addSessionLength(static_cast<float>(length), i);
        }
    }
    return true;
}

// Wiring

bool WrenRecording::ownerAnswers(RecordingOwner::Callback callback) const
{
    return m_owner && m_owner->answers(callback);
}

lq::UndoManager *WrenRecording::ownerUndoManager() const
{
    return ownerAnswers(RecordingOwner::Callback::UndoManager) ? m_owner->undoManager() : nullptr;
}

void WrenRecording::adoptSession(const SessionPtr &session)
{
    session->setOwner(this);
    session->setErrorHandler(m_errorHandler);
    if (ownerAnswers(RecordingOwner::Callback::UndoManager))
        session->setUm(m_owner->undoManager());
}

void WrenRecording::setOwner(RecordingOwner *owner)
{
    m_owner = owner;
    lq::UndoManager *undoManager = ownerUndoManager();
    if (ownerAnswers(RecordingOwner::Callback::UndoManager)) {
        for (const SessionPtr &session : timerSessions())
            session->setUm(undoManager);
    }
    m_events->setUm(undoManager);
}

void WrenRecording::setErrorHandler(BMRecordingErrorHandler *handler)
{
    m_errorHandler = handler;
    for (const SessionPtr &session : timerSessions())
        session->setErrorHandler(handler);
    if (m_recordingSession)
        m_recordingSession->setErrorHandler(handler);
}

LQRecordingController *WrenRecording::controller()
{
    return m_controller;
}

void WrenRecording::observeSessionClock(const SessionPtr &session)
{
    RecordingWindowController *controller = m_controller;
    WrenTimerSession *observed = session.get();
    m_controllerConnections.push_back(connect(
        observed, &WrenTimerSession::clockTimeChanged, observed,
        [controller, observed](lq::Date time) {
            controller->sessionClockTimeChanged(observed, time);
        },
        Qt::DirectConnection));
}

void WrenRecording::removeControllerObservations()
{
    for (const QMetaObject::Connection &connection : m_controllerConnections)
        disconnect(connection);
    m_controllerConnections.clear();
}

void WrenRecording::loadController(RecordingWindowController *controller)
{
    removeControllerObservations();
    m_controller = controller;
    const std::vector<SessionPtr> sessions = timerSessions();
    if (!sessions.empty())
        controller->setRecordingExists();
    if (!packageURL().isEmpty() && m_slidesSaved) {
        m_slides.setPath(slidesFileName());
        controller->setSlidesPath(slidesFileName());
        controller->gotoSlide(1);
        controller->expandSlidesSection();
    }
    m_controllerConnections.push_back(connect(
        this, &WrenRecording::clockTimeChanged, this,
        [controller](lq::Date time) { controller->clockTimeChanged(time); }, Qt::DirectConnection));
    for (const SessionPtr &session : sessions)
        observeSessionClock(session);
    if (!sessions.empty()) {
        sessions.front()->setStartOffset();
        sessions.front()->jumpToOffset(0.0);
    }
    if (m_videoRecorded)
        controller->expandVideoSection();
    m_controllerConnections.push_back(connect(
        this, &WrenRecording::percentageDoneChanged, this,
        [controller](float percentage) { controller->percentageDoneChanged(percentage); },
        Qt::DirectConnection));
    m_controllerConnections.push_back(connect(
        this, &WrenRecording::selectedPlaybackSpeedChanged, this,
        [controller](float speed) { controller->selectedPlaybackSpeedChanged(speed); },
        Qt::DirectConnection));
    m_loadingComplete = true;
    // Shows the first picture of the recording.
    if (hasVideo())
        playSession(0, std::nullopt, std::nullopt, std::nullopt, true, true);
}

void WrenRecording::close()
{
    m_closing = true;
    m_delayedPlay.cancel();
    m_pendingPercentage.cancel();
    {
        std::lock_guard lock(m_modelMutex);
        m_reloadAfterReset.cancel();
    }
    if (playing())
        stopPlayback();
    stopSession();
    if (m_recordingSession) {
        m_recordingSession->stopVideoPreview();
        m_recordingSession->stopAudioPreview();
    }
    if (SessionPtr s = session(currentSession())) {
        if (s->mode() == WrenTimerSession::Recording) {
            s->stopSession();
            s->setRecSession(nullptr);
            setRecording(false);
        } else if (s->mode() == WrenTimerSession::Playing) {
            s->stopPlayback();
        }
    }
    m_timers.stopAll();
    observeAudioLevel(false);
    if (m_controller) {
        removeControllerObservations();
        RecordingWindowController *controller = std::exchange(m_controller, nullptr);
        controller->close();
    }
}

// Media files

bool WrenRecording::setURL(const QUrl &url)
{
    if (url.isEmpty())
        return false;
    m_packageURL.set(url);
    return true;
}

QUrl WrenRecording::packageURL() const
{
    return m_packageURL.get();
}

QString WrenRecording::tempDir() const
{
    return m_tempDir.get();
}

void WrenRecording::setTempDir(const QString &folder)
{
    m_tempDir.set(folder);
}

QString WrenRecording::mediaPathLocked(int32_t session, bool forceTemp) const
{
    if (session >= 0 && size_t(session) < m_timerSessions.size() &&
        m_timerSessions[size_t(session)]->saved() && !forceTemp) {
        const QUrl url = packageURL();
        return url.isEmpty() ? QString() : url.toLocalFile();
    }
    const QString folder = tempDir();
    return isDirectory(folder) ? folder : QString();
}

QString WrenRecording::mediaPathWithSession(int32_t session, bool forceTemp) const
{
    std::lock_guard lock(m_modelMutex);
    return mediaPathLocked(session, forceTemp);
}

QString WrenRecording::slidesFileName() const
{
    const QString format = QStringLiteral("%1/%2");
    const QString name = QStringLiteral("slides.pdf");
    if (m_slidesSaved) {
        const QUrl url = packageURL();
        return url.isEmpty() ? QString() : format.arg(url.toLocalFile(), name);
    }
    const QString folder = tempDir();
    return isDirectory(folder) ? format.arg(folder, name) : QString();
}

bool WrenRecording::sessionHasMedia(const WrenTimerSession &session) const
{
    return session.hasAudio() || session.hasVideo();
}

QString WrenRecording::currentRecordingFile() const
{
    if (!recording() || !modernEnginesRun())
        return {};
    std::lock_guard lock(m_modelMutex);
    const int32_t current = currentSession();
    if (current < 0 || size_t(current) >= m_timerSessions.size() ||
        !sessionHasMedia(*m_timerSessions[size_t(current)]))
        return {};
    const QString folder = mediaPathLocked(current, false);
    const QStringList files = m_recordingFiles.value(current);
    if (folder.isEmpty() || files.isEmpty())
        return {};
    return QDir(folder).filePath(files.last());
}

bool WrenRecording::addRecordingFilesLocked(int32_t session, QStringList *paths) const
{
    const QString folder = mediaPathLocked(session, false);
    if (folder.isEmpty())
        return false;
    const QDir dir(folder);
    for (const QString &name : m_recordingFiles.value(session))
        paths->append(dir.filePath(name));
    return true;
}

bool WrenRecording::addRecordingFilesForSession(int32_t session, QStringList *paths) const
{
    std::lock_guard lock(m_modelMutex);
    return addRecordingFilesLocked(session, paths);
}

QStringList WrenRecording::allRecordingFiles() const
{
    std::lock_guard lock(m_modelMutex);
    QStringList paths;
    for (auto it = m_recordingFiles.cbegin(); it != m_recordingFiles.cend(); ++it) {
        if (!addRecordingFilesLocked(it.key(), &paths))
            return {};
    }
    return paths;
}

QList<LQMediaElement> WrenRecording::allRecordingFilesWithEmpties() const
{
    std::lock_guard lock(m_modelMutex);
    QList<LQMediaElement> elements;
    for (size_t i = 0; i < m_timerSessions.size(); ++i) {
        if (!sessionHasMedia(*m_timerSessions[i])) {
            elements.append(std::static_pointer_cast<GapEntry>(m_timerSessions[i]));
            continue;
        }
        QStringList paths;
        addRecordingFilesLocked(static_cast<int32_t>(i), &paths);
        for (const QString &path : paths)
            elements.append(path);
    }
    return elements;
}

bool WrenRecording::forgetRecordingFile(const QString &path)
{
    std::lock_guard lock(m_modelMutex);
    for (auto it = m_recordingFiles.begin(); it != m_recordingFiles.end(); ++it) {
        const QString folder = mediaPathLocked(it.key(), false);
        if (folder.isEmpty())
            continue;
        const QDir dir(folder);
        for (const QString &name : it.value()) {
            if (dir.filePath(name) == path) {
                QStringList remaining = it.value();
                remaining.removeOne(name);
                it.value() = remaining;
                return true;
            }
        }
    }
    return false;
}

void WrenRecording::setRecordingFiles(const std::optional<QStringList> &files, int32_t session)
{
    std::optional<QStringList> previous;
    {
        std::lock_guard lock(m_modelMutex);
        if (m_recordingFiles.contains(session))
            previous = m_recordingFiles.value(session);
        if (files)
            m_recordingFiles.insert(session, *files);
        else
            m_recordingFiles.remove(session);
        if (session >= 0 && size_t(session) < m_timerSessions.size())
            ++m_changeCounts[m_timerSessions[size_t(session)].get()];
    }
    if (lq::UndoManager *undoManager = ownerUndoManager())
        undoManager->registerUndo(
            this, [this, previous, session] { setRecordingFiles(previous, session); });
    m_percentageRate = -1.0f;
    dropPlayer();
    if (sessionCount() > 0)
        jumpToPercentage(0.0f);
}

WrenRecording::RecordingFiles WrenRecording::recordingFiles() const
{
    std::lock_guard lock(m_modelMutex);
    return m_recordingFiles;
}

void WrenRecording::markSessionNotSaved(int32_t session)
{
    std::lock_guard lock(m_modelMutex);
    if (session < 0 || size_t(session) >= m_timerSessions.size())
        return;
    m_timerSessions[size_t(session)]->setSaved(false);
    ++m_changeCounts[m_timerSessions[size_t(session)].get()];
}

// Old-media check

QStringList WrenRecording::unplayableFiles(int32_t session, const QString &folder) const
{
    QStringList failed;
    const QDir dir(folder);
    for (const QString &name : recordingFiles().value(session)) {
        const QString path = dir.filePath(name);
        if (QFileInfo::exists(path) && !(m_playability && m_playability->isPlayable(path)))
            failed.append(name);
    }
    return failed;
}

void WrenRecording::checkRecordingFiles()
{
    if (AVFPlayable() || !modernEnginesRun())
        return;
    QMap<int32_t, QStringList> failed;
    const RecordingFiles files = recordingFiles();
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QString folder = mediaPathWithSession(it.key());
        if (folder.isEmpty())
            return;
        const QStringList names = unplayableFiles(it.key(), folder);
        if (!names.isEmpty())
            failed.insert(it.key(), names);
    }
    if (failed.isEmpty()) {
        setAVFPlayable(true);
        return;
    }
    lq::AlertRequest question;
    question.messageText = QStringLiteral("Convert audio/video?");
    question.informativeText = QStringLiteral(
        "This document contains audio/video that is not compatible with this version of Luma "
        "Quill. To play this back, Luma Quill needs to convert this to a more modern format, "
        "which can take some time. If you choose not to convert now, you will not be able to "
        "play back the audio/video of this note.");
    question.buttons = {QStringLiteral("Convert"), QStringLiteral("Not now")};
    if (lq::AlertPresenter::current().runModal(question).buttonIndex != 0)
        return;
    if (m_conversion && convertOldMedia(failed)) {
        setAVFPlayable(true);
        lq::postToMainThread([self = QPointer<WrenRecording>(this)] {
            if (self)
                self->addChange();
        });
        return;
    }
    lq::AlertRequest failure;
    failure.messageText = QStringLiteral("Error parsing media");
    failure.informativeText =
        QStringLiteral("Luma Quill failed to convert the audio/video in this note. Luma Quill "
                       "will not be able to play back this note.");
    lq::AlertPresenter::current().runModal(failure);
}

bool WrenRecording::convertOldMedia(const QMap<int32_t, QStringList> &failed)
{
    int fileCount = 0;
    for (const QStringList &names : failed)
        fileCount += static_cast<int>(names.size());
    m_conversion->showProgress(fileCount);
    bool converted = true;
    for (auto it = failed.cbegin(); converted && it != failed.cend(); ++it) {
        for (const QString &name : it.value()) {
            converted = convertOneFile(it.key(), name);
            if (!converted)
                break;
            m_conversion->advanceProgress();
        }
    }
    m_conversion->closeProgress();
    return converted;
}

bool WrenRecording::convertOneFile(int32_t session, const QString &name)
{
    const std::unique_ptr<OldMediaConverter> converter = m_conversion->makeConverter();
    const QString source = QDir(mediaPathWithSession(session)).filePath(name);
    QString error;
    if (!converter || !converter->convertFile(source, session))
        return false;
    if (!converter->outputOpens(&error)) {
        lq::log(QStringLiteral("Failed to convert movie: QT reported: %1\n").arg(error));
        return false;
    }
    // The converted file goes to the temporary folder; the session moves there only once the
    // file is really written and plays.
    const QString folder = mediaPathWithSession(session, true);
    if (folder.isEmpty())
        return false;
    const QString destination = QDir(folder).filePath(name);
    converter->saveAsMovFile(destination);
    if (!QFileInfo(destination).isFile() || !m_playability ||
        !m_playability->isPlayable(destination)) {
        lq::log(QStringLiteral("Failed to convert movie: nothing playable was written to %1\n")
                    .arg(destination));
        return false;
    }
    markSessionNotSaved(session);
    return true;
}

void WrenRecording::addChange()
{
    if (ownerAnswers(RecordingOwner::Callback::UpdateChangeCount))
        m_owner->updateChangeCount(0);
}

// Saving

bool WrenRecording::prepareToSave()
{
    LQRecSession *engine = m_recordingSession.get();
    if (recording() && engine) {
        QStringList files;
        if (engine->prepareToSave(&files)) {
            const int32_t current = currentSession();
            std::lock_guard lock(m_modelMutex);
            m_recordingFiles.insert(current, files);
        }
        waitWhile([engine] { return engine->currentlySaving(); });
    } else if (engine) {
        waitWhile([engine] { return engine->writingFile(); });
    }
    {
        std::lock_guard lock(m_modelMutex);
        const int32_t count = static_cast<int32_t>(m_timerSessions.size());
        const int32_t last = count - (recording() ? 2 : 1);
        m_lastSessionBeingSaved = last;
        m_countsAtSave.clear();
        for (int32_t i = 0; i <= last; ++i) {
            const WrenTimerSession *s = m_timerSessions[size_t(i)].get();
            m_countsAtSave[s] = m_changeCounts[s];
        }
    }
    return !isCorrupt();
}

void WrenRecording::resetExistingSessions()
{
    {
        std::lock_guard lock(m_modelMutex);
        // A session changed since prepareToSave has media the save did not cover.
        for (const auto &[s, countAtSave] : m_countsAtSave) {
            if (m_changeCounts[s] != countAtSave)
                continue;
            for (const SessionPtr &candidate : m_timerSessions) {
                if (candidate.get() == s)
                    candidate->setSaved(true);
            }
        }
        m_countsAtSave.clear();
    }
    if (currentSession() >= 0) {
        std::lock_guard lock(m_modelMutex);
        m_reloadAfterReset.cancel(); // a call still pending would outlive the destructor's cancel
        m_reloadAfterReset = lq::postToMainThread([this] { reloadAfterReset(); });
    }
}

void WrenRecording::reloadAfterReset()
{
    updatePercentage();
    SessionPtr current = session(currentSession());
    // A running player keeps the files it plays; the next play request loads them afresh.
    if (!current || playing())
        return;
    const std::optional<double> offset = currentOffset(*current);
    loadCurrentPlayerSession();
    if (m_playerSession && offset)
        m_playerSession->setCurrentTime(*offset);
}

// Sessions

std::vector<WrenRecording::SessionPtr> WrenRecording::timerSessions() const
{
    std::lock_guard lock(m_modelMutex);
    return m_timerSessions;
}

int32_t WrenRecording::sessionCount() const
{
    std::lock_guard lock(m_modelMutex);
    return static_cast<int32_t>(m_timerSessions.size());
}

WrenRecording::SessionPtr WrenRecording::session(int32_t index) const
{
    std::lock_guard lock(m_modelMutex);
    if (index < 0 || size_t(index) >= m_timerSessions.size())
        return nullptr;
    return m_timerSessions[size_t(index)];
}

void WrenRecording::addSession(const SessionPtr &session)
{
    adoptSession(session);
    {
        std::lock_guard lock(m_modelMutex);
        m_timerSessions.push_back(session);
    }
    m_percentageRate = -1.0f;
    if (m_controller)
        observeSessionClock(session);
}

void WrenRecording::setRecording(bool recording)
{
    m_recording = recording;
    updateWorkspaceObservation();
}

void WrenRecording::setPlaying(bool playing)
{
    m_playing = playing;
    updateWorkspaceObservation();
}

void WrenRecording::updateWorkspaceObservation()
{
    const bool wanted = recording() || playing();
    if (wanted == m_observingWorkspace)
        return;
    m_observingWorkspace = wanted;
    lq::NotificationCenter &center = lq::NotificationCenter::defaultCenter();
    if (!wanted) {
        center.removeObserver(this);
        return;
    }
    for (const char *name : {lq::SystemSleepMonitor::kWillSleepNotification,
                             lq::SystemSleepMonitor::kSessionDidResignActiveNotification})
        center.addObserver(this, QLatin1String(name), nullptr,
                           [this](const lq::Notification &) { systemSleeping(); });
}

void WrenRecording::systemSleeping()
{
    if (recording()) {
        if (m_controller)
            m_controller->stopRecording();
    } else if (playing()) {
        stopPlayback();
    }
}

double WrenRecording::intervalForPreviousSessions() const
{
    std::lock_guard lock(m_modelMutex);
    double total = 0.0;
    const int32_t current = currentSession();
    for (int32_t i = 0; i < current && size_t(i) < m_timerSessions.size(); ++i) {
        double length = 0.0;
        if (m_timerSessions[size_t(i)]->length(&length))
            total += length;
    }
    return total;
}

bool WrenRecording::hasAudio() const
{
    for (const SessionPtr &s : timerSessions()) {
        if (s->hasAudio())
            return true;
    }
    return false;
}

bool WrenRecording::hasVideo() const
{
    for (const SessionPtr &s : timerSessions()) {
        if (s->hasVideo())
            return true;
    }
    return false;
}

std::optional<ConsistentDate> WrenRecording::recordingBeginning() const
{
    const SessionPtr first = session(0);
    return first ? first->theBeginning() : std::nullopt;
}

lq::Date WrenRecording::clockTime() const
{
    return m_clockTime.get();
}

void WrenRecording::setClockTime(lq::Date clockTime)
{
    m_clockTime.set(clockTime);
    Q_EMIT clockTimeChanged(clockTime);
}

void WrenRecording::mergeRecordings()
{
    if (m_recordingSession)
        m_recordingSession->startMerge();
}

bool WrenRecording::merging() const
{
    return m_recordingSession && m_recordingSession->merging();
}

// Owner callbacks

bool WrenRecording::answers(LQRecSessionOwner::Callback) const
{
    return true;
}

void WrenRecording::didStartRecordingToOutputFile(const QUrl &)
{
    if (m_startingSession)
        m_writingBeganDuringStart = true;
    if (!recording())
        return;
    setRecordingSpinningUp(false);
    if (SessionPtr current = session(currentSession()))
        current->resetSession();
}

void WrenRecording::sessionRecordingCompleted(LQRecSession *)
{
    if (ownerAnswers(RecordingOwner::Callback::SetFinishedRecordingToFile))
        m_owner->setFinishedRecordingToFile(true);
}

void WrenRecording::recordingStopped()
{
    // The engine captures no more: the session must not go on without media.
    if (!recording() || m_stopRequestedByEngine)
        return;
    m_stopRequestedByEngine = true;
    if (m_controller)
        m_controller->stopRecording();
    else
        stopSession();
}

bool WrenRecording::answers(WrenTimerSessionOwner::Callback) const
{
    return true;
}

// Stamping

std::optional<double> WrenRecording::currentOffset(WrenTimerSession &session)
{
    double seconds = 0.0;
    if (playing() && m_playerSession && m_playerSession->currentTime(&seconds))
        return seconds;
    if (session.nowInterval(&seconds))
        return seconds;
    return std::nullopt;
}

WrenTimeStampPtr WrenRecording::getCurrentTSofType(int32_t type, uint32_t index)
{
    const int32_t current = currentSession();
    SessionPtr s = session(current);
    if (!s || (type != WrenTimeStampTypeKey && type != WrenTimeStampTypeSlide))
        return nullptr;
    const std::optional<double> offset = currentOffset(*s);
    // The session may have stopped meanwhile (a stalled engine stops it from inside the reading).
    if (!offset || currentSession() != current)
        return nullptr;
    return type == WrenTimeStampTypeKey ? WrenTimeStamp::initWithKey(index, current, *offset)
                                        : WrenTimeStamp::initWithSlide(index, current, *offset);
}

WrenTimeStampPtr WrenRecording::idleEntry(uint32_t location, uint32_t position, bool replacing,
                                          const WrenEvents::StampList &entries) const
{
    const WrenEvents::StampList &keys = m_events->keyEvents();
    if (replacing) {
        // The new character keeps the moment of the one it replaces.
        const WrenTimeStampPtr old = position < keys.size() ? keys[position] : nullptr;
        if (old && !old->isEmpty()) {
            WrenTimeStampPtr kept = old->copy();
            kept->setIndex(position);
            return kept;
        }
        return WrenTimeStamp::emptyKey(position);
    }
    // An inserted character takes the moment of the one before it.
    WrenTimeStampPtr before;
    if (position > location)
        before = entries[position - location - 1];
    else if (position > 0 && position - 1 < keys.size())
        before = keys[position - 1];
    if (before && !before->isEmpty())
        return WrenTimeStamp::initWithKey(position, before->session(), before->offset());
    return WrenTimeStamp::emptyKey(position);
}

bool WrenRecording::recordKeyEventsForRange(uint32_t location, uint32_t length,
                                            const QString &replacement)
{
    const bool isPlaying = playing();
    bool sessionCurrent = currentSession() >= 0;
    if (!sessionCurrent && isPlaying)
        return false;
    if (sessionCurrent && isPlaying)
        m_timers.cancelStamp();
    const auto count = static_cast<uint32_t>(replacement.size());
    WrenEvents::StampList entries;
    entries.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t position = location + i;
        WrenTimeStampPtr stamp;
        if (sessionCurrent) {
            stamp = getCurrentTSofType(WrenTimeStampTypeKey, position);
            // A session stopped meanwhile: the rest is stamped as with none current.
            sessionCurrent = stamp != nullptr;
        }
        entries.push_back(stamp ? stamp : idleEntry(location, position, i < length, entries));
    }
    m_events->replaceCharacters(location, length, entries);
    if (isPlaying)
        resetEventTimerWithTS();
    return true;
}

bool WrenRecording::recordSlideEventForSlide(uint32_t slide)
{
    if (currentSession() < 0)
        return false;
    const WrenTimeStampPtr stamp = getCurrentTSofType(WrenTimeStampTypeSlide, slide);
    if (!stamp)
        return false;
    const bool isPlaying = playing();
    if (isPlaying)
        m_timers.cancelStamp();
    // Always in time order: the session clock can go back (a restart when the engine begins
    // writing, a snap to the engine's time), so the newest stamp is not always the latest.
    m_events->insertEvent(stamp, false);
    if (isPlaying)
        resetEventTimerWithTS();
    return true;
}

std::optional<uint32_t> WrenRecording::lastCharBeforeNow()
{
    const int32_t current = currentSession();
    SessionPtr s = session(current);
    double now = 0.0;
    if (!s || !s->nowInterval(&now))
        return std::nullopt;
    const WrenTimeStampPtr stamp =
        m_events->lastEventBeforeOffset(now, current, WrenTimeStampTypeKey);
    if (!stamp)
        return std::nullopt;
    return stamp->index();
}

void WrenRecording::removeAllSlidesEvents()
{
    m_events->removeAllSlidesEvents();
}

// Recording sessions

bool WrenRecording::failStart()
{
    m_startingSession = false;
    m_currentSession = -1;
    return false;
}

bool WrenRecording::startSession(bool audio, bool video)
{
    m_percentageRate = -1.0f;
    setPercentageDone(0.0f);
    const int32_t number = sessionCount();
    m_currentSession = number;
    m_startingSession = true;
    m_writingBeganDuringStart = false;
    m_usingCallRecorder = lq::UserDefaults::standard().boolForKey(kUseCallRecorderKey);
    if (m_usingCallRecorder) {
        if (!askAboutCallRecorder() || !runScript(kCallRecorderStartEvent))
            return failStart();
        // The add-on records; the own engine records nothing.
        audio = false;
        video = false;
    }
    const bool withMedia = audio || video;
    if (withMedia && !startEngine(number, audio, video))
        return failStart();

    auto session = std::make_shared<WrenTimerSession>();
    adoptSession(session);
    m_events->setUm(ownerUndoManager());
    session->setHasAudio(audio);
    session->setHasVideo(video);
    if (withMedia)
        session->setRecSession(m_recordingSession);
    if (!session->startSession(number >= 1 ? intervalForPreviousSessions() : 0.0)) {
        if (withMedia) {
            m_recordingSession->stopRecording(nullptr);
            observeAudioLevel(false);
        }
        return failStart();
    }
    if (video)
        m_videoRecorded = true;
    if (m_controller)
        observeSessionClock(session);
    {
        std::lock_guard lock(m_modelMutex);
        m_timerSessions.push_back(session);
    }
    m_startingSession = false;
    m_stopRequestedByEngine = false;
    m_engineStopFailed = false;
    setRecording(true);
    setRecordingSpinningUp(withMedia && !m_writingBeganDuringStart);
    return true;
}

bool WrenRecording::askAboutCallRecorder()
{
    lq::UserDefaults &defaults = lq::UserDefaults::standard();
    if (defaults.boolForKey(kSuppressCallRecorderWarningKey))
        return true;
    lq::AlertRequest warning;
    warning.messageText = QStringLiteral("Are you on a Skype call?");
    warning.informativeText = QStringLiteral(
        "You must already be on the Skype call you wish to record for this to work. Please make "
        "sure Skype is already running and you are already on a call before clicking OK. Also, "
        "make sure you have Call Recorder for Skype installed but not yet recording.");
    warning.buttons = {QStringLiteral("OK"), QStringLiteral("Cancel")};
    warning.showsSuppressionButton = true;
    const lq::AlertResponse response = lq::AlertPresenter::current().runModal(warning);
    if (response.suppressed)
        defaults.setBool(kSuppressCallRecorderWarningKey, true);
    return response.buttonIndex == 0;
}

bool WrenRecording::runScript(const QString &event)
{
    const QString source = QStringLiteral("tell application \"%1\"\n\t%2\nend tell")
                               .arg(kCallRecorderApplication, event);
    QString error;
    if (lq::ScriptRunner::current().run(source, kCallRecorderApplication, &error))
        return true;
    lq::log(QStringLiteral("Script to %1 failed: %2\n").arg(kCallRecorderApplication, error));
    lq::AlertRequest failure;
    failure.messageText = QStringLiteral("Failed to communicate");
    failure.informativeText =
        QStringLiteral("Failed to communicate with %1. Aborting.").arg(kCallRecorderApplication);
    lq::AlertPresenter::current().runModal(failure);
    return false;
}

bool WrenRecording::startEngine(int32_t session, bool audio, bool video)
{
    LQRecSession *engine = m_recordingSession.get();
    if (!engine)
        return false;
    const bool modern = modernEnginesRun();
    const auto showPreview = [this, engine, video] {
        if (!video)
            switchCaptureView(false);
        else if (!engine->shouldPreviewVideo())
            switchCaptureView(true);
    };
    if (modern)
        showPreview();
    const QString folder = mediaPathWithSession(session);
    if (folder.isEmpty() ||
        !engine->startRecording(LQMediaFileNames::sessionStem(folder, session), audio, video))
        return false;
    if (audio && !engine->shouldPreviewAudio())
        observeAudioLevel(true);
    if (!modern)
        showPreview();
    return true;
}

bool WrenRecording::stopSession()
{
    const int32_t index = currentSession();
    const SessionPtr s = session(index);
    if (!s || !recording())
        return false;
    // After an engine that failed to stop, the clock has stopped already: only the engine is
    // asked again.
    if (!m_engineStopFailed && !s->stopSession())
        return false;
    LQRecSession *engine = m_recordingSession.get();
    bool engineWrote = false;
    bool engineStuck = false;
    if (engine && engine->currentlyRecording()) {
        QStringList files;
        if (engine->stopRecording(&files)) {
            engineWrote = !files.isEmpty();
        } else if (!m_engineStopFailed) {
            m_engineStopFailed = true;
            return false;
        } else {
            engineStuck = true;
            reportRecordingError(m_errorHandler,
                                 QStringLiteral("Error: Recording could not be stopped properly. "
                                                "The audio/video of this session may be lost."),
                                 false);
        }
        keepSessionFiles(s, index, files);
    } else if (engine && sessionHasMedia(*s)) {
        // The engine stopped by itself after an error: what it wrote up to then stays.
        QStringList files;
        engineWrote = engine->prepareToSave(&files) && !files.isEmpty();
        keepSessionFiles(s, index, engineWrote ? files : QStringList());
    }
    m_engineStopFailed = false;
    s->setRecSession(nullptr);
    if (engine && !engine->shouldPreviewAudio())
        observeAudioLevel(false);
    finishStop(s, index);
    // An engine that would not stop may never finish its file.
    if (engine && !engineStuck)
        waitWhile([engine] { return engine->writingFile(); });
    // No engine file will report its end: the owner must not wait for one.
    if (!engineWrote && ownerAnswers(RecordingOwner::Callback::SetFinishedRecordingToFile))
        m_owner->setFinishedRecordingToFile(true);
    if (lq::isMainThread()) {
        stopSessionPhase2(s);
    } else {
        m_phase2 = lq::postToMainThread([self = QPointer<WrenRecording>(this), s] {
            if (self)
                self->stopSessionPhase2(s);
        });
    }
    return true;
}

void WrenRecording::keepSessionFiles(const SessionPtr &session, int32_t index,
                                     const QStringList &files)
{
    if (files.isEmpty()) {
        session->setHasAudio(false);
        session->setHasVideo(false);
        return;
    }
    std::lock_guard lock(m_modelMutex);
    m_recordingFiles.insert(index, files);
}

void WrenRecording::finishStop(const SessionPtr &session, int32_t index)
{
    markSessionNotSaved(index);
    double seconds = 0.0;
    if (session->length(&seconds))
        m_events->addSessionLength(static_cast<float>(seconds), index);
    m_percentageRate = -1.0f;
    m_currentSession = -1;
    setRecording(false);
}

void WrenRecording::stopSessionPhase2(const SessionPtr &session)
{
    if (m_usingCallRecorder)
        takeCallRecorderFile(sessionCount() - 1);
    LQRecSession *engine = m_recordingSession.get();
    const bool previewing = engine && engine->shouldPreviewVideo();
    if (session->hasVideo() && !previewing)
        switchCaptureView(false);
    else if (previewing)
        switchCaptureView(true);
    const std::vector<SessionPtr> sessions = timerSessions();
    const auto found = std::find(sessions.begin(), sessions.end(), session);
    double seconds = 0.0;
    if (found != sessions.end() && session->length(&seconds))
        playSession(static_cast<int32_t>(found - sessions.begin()), seconds, std::nullopt,
                    std::nullopt, true);
}

void WrenRecording::takeCallRecorderFile(int32_t index)
{
    if (!runScript(kCallRecorderStopEvent) || CallRecorderFilePicker::startFolder().isEmpty())
        return;
    const SessionPtr s = session(index);
    double seconds = 0.0;
    const std::optional<double> sessionLength =
        s && s->length(&seconds) ? std::optional<double>(seconds) : std::nullopt;
    if (const std::optional<QString> movie = CallRecorderFilePicker().pick(sessionLength))
        replaceMediaForSession(index, *movie);
}

bool WrenRecording::replaceMediaForSession(int32_t index, const QString &moviePath)
{
    const SessionPtr s = session(index);
    lq::Error error;
    const std::optional<lq::MediaInfo> movie =
        s ? lq::MediaInfo::probe(moviePath, CallRecorderFilePicker::kProbeTimeLimit, &error)
          : std::nullopt;
    const QString folder = mediaPathWithSession(index, true);
    if (!movie || folder.isEmpty()) {
        reportCallRecorderFileError(movie ? QString() : error.localizedDescription());
        return false;
    }
    const QString name = freeMovieName(index, folder);
    bool written = false;
    const auto write = [&] {
        written = lq::MediaFlattener::flatten(moviePath, QDir(folder).filePath(name),
                                              kMovieWriteLimit, &error);
    };
    if (ownerAnswers(RecordingOwner::Callback::SynchronousFileAccess))
        m_owner->performSynchronousFileAccess(write);
    else
        write();
    if (!written) {
        lq::log(QStringLiteral("Error writing movie file from Call Recorder: %1\n")
                    .arg(error.localizedDescription()));
        reportCallRecorderFileError(error.localizedDescription());
        return false;
    }
    s->setHasAudio(!movie->audioStreams.isEmpty());
    s->setHasVideo(!movie->videoStreams.isEmpty());
    markSessionNotSaved(index);
    setRecordingFiles(QStringList{name}, index);
    return true;
}

QString WrenRecording::freeMovieName(int32_t session, const QString &folder) const
{
    QStringList listed;
    for (const QStringList &names : recordingFiles())
        listed += names;
    const QString package = packageURL().isEmpty() ? QString() : packageURL().toLocalFile();
    const auto taken = [&](const QString &name) {
        return listed.contains(name) || QFileInfo::exists(QDir(folder).filePath(name)) ||
               (!package.isEmpty() && QFileInfo::exists(QDir(package).filePath(name)));
    };
    QString name = QString::asprintf("%s-%d.mov", "recording", session);
    for (int variant = 1; taken(name); ++variant)
        name = QString::asprintf("%s-%d-%d.mov", "recording", session, variant);
    return name;
}

void WrenRecording::reportCallRecorderFileError(const QString &detail)
{
    const lq::Error error(QStringLiteral("importing"), 79,
                          QStringLiteral("Could not parse file from Call Recorder."));
    lq::AlertRequest alert;
    alert.messageText = error.localizedDescription();
    alert.informativeText = detail;
    lq::AlertPresenter::current().runModal(alert);
}

bool WrenRecording::previewAudio()
{
    if (!m_recordingSession || !m_recordingSession->previewAudio())
        return false;
    observeAudioLevel(true);
    return true;
}

bool WrenRecording::stopAudioPreview()
{
    if (!m_recordingSession || !m_recordingSession->stopAudioPreview())
        return false;
    observeAudioLevel(false);
    return true;
}

bool WrenRecording::previewVideo()
{
    if (!m_recordingSession)
        return false;
    if (modernEnginesRun()) {
        switchCaptureView(true);
        return m_recordingSession->previewVideo();
    }
    if (!m_recordingSession->previewVideo())
        return false;
    switchCaptureView(true);
    return true;
}

bool WrenRecording::stopVideoPreview()
{
    if (!m_recordingSession || !m_recordingSession->stopVideoPreview())
        return false;
    const SessionPtr current = session(currentSession());
    if (!(playing() && current && current->hasVideo())) {
        switchCaptureView(false);
        if (hasVideo() && !m_closing)
            playSession(0, std::nullopt, std::nullopt, std::nullopt, true);
    }
    return true;
}

void WrenRecording::switchCaptureView(bool on)
{
    if (m_captureView)
        m_captureView->deleteLater();
    m_captureView = nullptr;
    if (on) {
        m_captureView = makeVideoView();
    }
    if (m_recordingSession && on)
        m_recordingSession->setCaptureView(m_captureView);
    if (m_controller)
        m_controller->setVideoView(m_captureView);
}

void WrenRecording::observeAudioLevel(bool observe)
{
    disconnect(m_audioLevelConnection);
    m_audioLevelConnection = {};
    if (!observe || !m_controller || !m_recordingSession)
        return;
    RecordingWindowController *controller = m_controller;
    m_audioLevelConnection =
        connect(m_recordingSession.get(), &LQRecSession::audioLevelChanged, this,
                [controller](float decibels) { controller->audioLevelChanged(decibels); });
}

// Playback

TimelineMap WrenRecording::timelineMap() const
{
    std::vector<double> lengths;
    for (const SessionPtr &s : timerSessions()) {
        double seconds = 0.0;
        lengths.push_back(s->length(&seconds) ? seconds : 0.0);
    }
    return TimelineMap(std::move(lengths));
}

double WrenRecording::length() const
{
    return timelineMap().length();
}

float WrenRecording::percentageRate()
{
    if (m_percentageRate < 0.0f)
        m_percentageRate = static_cast<float>(timelineMap().percentageRate());
    return m_percentageRate;
}

void WrenRecording::setPercentageDone(float percentage)
{
    m_percentageDone = percentage;
    Q_EMIT percentageDoneChanged(percentage);
}

void WrenRecording::dropPlayer()
{
    m_playerSession.reset();
}

void WrenRecording::loadCurrentPlayerSession()
{
    const int32_t index = currentSession();
    const SessionPtr s = session(index);
    const RecordingFiles files = recordingFiles();
    const bool playable = !modernEnginesRun() || AVFPlayable();
    if (!s || !sessionHasMedia(*s) || !files.contains(index) || !playable) {
        dropPlayer();
        return;
    }
    if (!m_playerSession) {
        m_playerSession = LQEngineFactory::current().makePlaybackEngine();
        if (!m_playerSession)
            return;
        m_playerSession->setTempDir(tempDir());
    }
    s->setPlaySession(m_playerSession);
    if (!m_playerSession->addMediaFiles(files.value(index), mediaPathWithSession(index))) {
        lq::log(QStringLiteral("playerSession failed to add files: %1\n")
                    .arg(files.value(index).join(QStringLiteral(", "))));
        s->setPlaySession(nullptr);
        s->setHasAudio(false);
        s->setHasVideo(false);
        dropPlayer();
        return;
    }
    if (s->hasVideo()) {
        if (!m_movieView)
            m_movieView = makeVideoView();
        m_playerSession->setPlayerView(m_movieView);
    }
}

QWidget *WrenRecording::makeVideoView()
{
    QWidget *view = VideoViewFactory::current().makeVideoView();
    view->setToolTip(kVideoViewToolTip);
    return view;
}

bool WrenRecording::playSession(int32_t session, std::optional<double> offset,
                                std::optional<uint32_t> index, std::optional<int32_t> type,
                                bool dontplay, bool delay)
{
    const PlayRequest request{session, offset, index, type, dontplay};
    if (delay) {
        m_delayedPlay.cancel();
        m_delayedPlay = lq::postToMainThread(
            [self = QPointer<WrenRecording>(this), request] {
                if (self)
                    self->runPlayRequest(request);
            },
            kDelayedPlay);
        return true;
    }
    return lq::runOnMainThread([self = QPointer<WrenRecording>(this), &request] {
        return self && self->runPlayRequest(request);
    });
}

bool WrenRecording::runPlayRequest(const PlayRequest &request)
{
    const SessionPtr s = session(request.session);
    if (!s || m_closing)
        return false;
    m_currentSession = request.session;
    double seconds = 0.0;
    if (request.offset && !request.dontplay && s->length(&seconds) && *request.offset >= seconds) {
        // Nothing left of this session: the next one plays, or playback ends.
        dropPlayer();
        sessionPlaybackStopped();
        return playing();
    }
    const bool backwards = m_playbackSpeed < 0;
    s->setPlayRate(m_playbackSpeed);
    loadCurrentPlayerSession();
    if (LQPlaySession *player = m_playerSession.get()) {
        const bool enginePreviewsVideo =
            m_recordingSession && m_recordingSession->shouldPreviewVideo();
        if (s->hasVideo() && m_controller && !(request.dontplay && enginePreviewsVideo))
            m_controller->setVideoView(m_movieView);
        if (!request.dontplay) {
            if (!player->startPlaying(request.offset, backwards)) {
                // A failed start while playback ran (the next session of a chain) ends it.
                if (playing())
                    playbackStopped();
                m_currentSession = -1;
                setPlaying(false);
                return false;
            }
        } else {
            player->setCurrentTime(request.offset.value_or(0.0));
        }
        player->setRate(m_playbackSpeed);
    }
    const double displayOffset = request.session >= 1 ? intervalForPreviousSessions() : 0.0;
    if (!request.dontplay) {
        s->startPlayback(request.offset, displayOffset, backwards);
        setPlaying(true);
        WrenTimeStampPtr awaited;
        if (request.index && request.type == WrenTimeStampTypeKey)
            awaited = m_events->getEventForCharacter(*request.index);
        else if (request.index && request.type == WrenTimeStampTypeSlide)
            awaited = m_events->getEventForSlide(*request.index);
        resetEventTimerWithTS(awaited);
    } else {
        s->setStartOffset(displayOffset);
        s->jumpToOffset(request.offset.value_or(0.0));
    }
    resetSlideDisplayed();
    updatePercentage();
    return true;
}

bool WrenRecording::startPlayback()
{
    if (m_recordingSession && m_recordingSession->writingFile())
        return false;
    if (sessionCount() == 0)
        return false;
    std::optional<double> offset;
    if (const SessionPtr s = session(currentSession())) {
        double now = 0.0;
        if (s->nowInterval(&now))
            offset = now;
        if (offset && timelineMap().startsOver({currentSession(), *offset})) {
            m_currentSession = -1;
            jumpToPercentage(0.0f);
            offset.reset();
        }
    }
    if (currentSession() < 0)
        m_currentSession = 0;
    if (!playSession(currentSession(), offset))
        return false;
    m_percentageRate = -1.0f;
    percentageRate();
    m_timers.startPositionTimer([this] { updatePercentage(); });
    return true;
}

bool WrenRecording::stopPlayback()
{
    if (currentSession() < 0)
        return false;
    playbackStopped();
    return true;
}

void WrenRecording::playbackStopped()
{
    m_timers.stopAll();
    if (playing()) {
        if (m_playerSession)
            m_playerSession->stopPlaying();
        if (const SessionPtr s = session(currentSession()))
            s->stopPlayback();
    }
    if (m_captureView && m_controller)
        m_controller->setVideoView(m_captureView);
    setPlaying(false);
    m_playbackSpeed = m_selectedPlaybackSpeed;
    m_fastforwarding = false;
    m_rewinding = false;
    if (ownerAnswers(RecordingOwner::Callback::PlaybackStopped))
        m_owner->playbackStopped();
    if (m_controller)
        m_controller->playbackStopped();
    if (TimelineMap::rewindsAfterStop(percentageDone(), length()))
        playSession(0, std::nullopt, std::nullopt, std::nullopt, true);
}

void WrenRecording::sessionPlaybackStopped()
{
    const int32_t current = currentSession();
    const int32_t next = m_playbackSpeed >= 0 ? current + 1 : current - 1;
    if (current >= 0 && next >= 0 && next < sessionCount()) {
        if (m_playerSession)
            m_playerSession->stopPlaying();
        playSession(next, std::nullopt);
        return;
    }
    playbackStopped();
    m_currentSession = -1;
}

void WrenRecording::resetEventTimerWithTS(const WrenTimeStampPtr &stamp)
{
    m_timers.cancelStamp();
    const int32_t current = currentSession();
    const SessionPtr s = session(current);
    if (!s)
        return;
    const std::optional<double> now = currentOffset(*s);
    if (!now)
        return;
    const StampWalk walk(m_events->getEvents(), current, *now, m_playbackSpeed);
    const std::optional<size_t> position =
        stamp ? m_events->indexOfEvent(stamp) : walk.firstAhead();
    if (position && m_events->getEvent(*position)->session() == current) {
        m_timers.armStamp(walk.intervalTo(*m_events->getEvent(*position)), *position,
                          [this](size_t fired) { nextEvent(static_cast<int64_t>(fired)); });
    }
    resetSlideDisplayed();
}

void WrenRecording::nextEvent(int64_t position, bool highlight)
{
    m_timers.cancelStamp();
    if (position >= 0)
        showStamp(static_cast<size_t>(position), highlight);
    else if (highlight && !playing() && !recording())
        highlightBeforeFirstStamp();
    const SessionPtr s = session(currentSession());
    if (!playing() || !s)
        return;
    const std::optional<double> now = currentOffset(*s);
    if (!now)
        return;
    const StampWalk walk(m_events->getEvents(), currentSession(), *now, m_playbackSpeed);
    // Passed stamps are dealt with here, one after the other, until one is worth waiting for.
    for (int64_t at = position;;) {
        const StampWalk::Step step = walk.after(at);
        switch (step.kind) {
        case StampWalk::Step::Kind::End:
            return;
        case StampWalk::Step::Kind::Arm:
            m_timers.armStamp(step.interval, step.position,
                              [this](size_t fired) { nextEvent(static_cast<int64_t>(fired)); });
            return;
        case StampWalk::Step::Kind::HandleNow:
            showStamp(step.position, highlight);
            break;
        case StampWalk::Step::Kind::StepOver:
            break;
        }
        at = static_cast<int64_t>(step.position);
    }
}

void WrenRecording::showStamp(size_t position, bool highlight)
{
    const WrenTimeStampPtr stamp = m_events->getEvent(position);
    if (!stamp)
        return;
    if (stamp->type() == WrenTimeStampTypeKey) {
        m_currentChar = stamp->index();
        if (highlight && ownerAnswers(RecordingOwner::Callback::HighlightChar))
            m_owner->highlightChar(m_currentChar);
        return;
    }
    uint32_t slide = stamp->index();
    if (m_playbackSpeed < 0) {
        // Going backwards, the slide shown before this change comes back.
        const WrenTimeStampPtr earlier =
            m_events->lastEventBeforeEvent(stamp, WrenTimeStampTypeSlide);
        slide = earlier ? earlier->index() : 1;
    }
    if (m_controller)
        m_controller->gotoSlide(slide);
}

void WrenRecording::highlightBeforeFirstStamp()
{
    if (!ownerAnswers(RecordingOwner::Callback::HighlightChar))
        return;
    // Only a character can be highlighted: without key stamps nothing is.
    const WrenEvents::StampList &stamps = m_events->getEvents();
    const auto first = std::find_if(stamps.begin(), stamps.end(), [](const WrenTimeStampPtr &s) {
        return s->type() == WrenTimeStampTypeKey;
    });
    if (first == stamps.end()) {
        m_currentChar = 0;
        return;
    }
    m_currentChar = (*first)->index() > 0 ? (*first)->index() - 1 : 0;
    m_owner->highlightChar(m_currentChar);
}

void WrenRecording::resetSlideDisplayed(std::optional<double> offset)
{
    const int32_t current = currentSession();
    const SessionPtr s = session(current);
    if (!hasSlides() || !s || !m_controller)
        return;
    if (!offset)
        offset = currentOffset(*s);
    if (!offset)
        return;
    const WrenTimeStampPtr stamp =
        m_events->lastEventBeforeOffset(*offset, current, WrenTimeStampTypeSlide);
    m_controller->gotoSlide(stamp ? stamp->index() : 1);
}

void WrenRecording::jumpToCharacter(uint32_t index)
{
    if (index == m_currentChar)
        return;
    const WrenTimeStampPtr stamp = m_events->getEventForCharacter(index);
    if (stamp && !stamp->isEmpty())
        jumpToEvent(stamp);
}

void WrenRecording::jumpToSlide(uint32_t slide)
{
    if (const WrenTimeStampPtr stamp = m_events->getEventForSlide(slide))
        jumpToEvent(stamp);
}

void WrenRecording::jumpToEvent(const WrenTimeStampPtr &stamp)
{
    m_timers.cancelStamp();
    const bool isPlaying = playing();
    double target = stamp->offset();
    if (isPlaying && stamp->type() == WrenTimeStampTypeKey)
        target = TimelineMap::withLeadIn(target, PrefsController::sharedController().eventBuffer());
    const int32_t current = currentSession();
    const SessionPtr s = session(current);
    if (s && stamp->session() == current) {
        s->jumpToOffset(target);
        if (m_playerSession)
            m_playerSession->setCurrentTime(target);
        WrenTimeStampPtr last =
            m_events->lastEventBeforeOffset(target, current, WrenTimeStampTypeKey);
        if (!last)
            last = m_events->lastEventBeforeOffset(target, current);
        const std::optional<size_t> position = last ? m_events->indexOfEvent(last) : std::nullopt;
        nextEvent(position ? static_cast<int64_t>(*position) : -1, isPlaying);
    } else {
        if (isPlaying) {
            if (s)
                s->stopPlayback();
            if (m_playerSession)
                m_playerSession->stopPlaying();
        }
        m_currentSession = stamp->session();
        playSession(stamp->session(), target, std::nullopt, stamp->type(), !isPlaying);
    }
    resetSlideDisplayed(target);
    if (!playing())
        updatePercentage();
}

void WrenRecording::jumpToPercentage(float percentage, std::optional<double> exactTime)
{
    m_timers.cancelStamp();
    const bool isPlaying = playing();
    const int32_t current = currentSession();
    if (isPlaying && current < 0)
        return;
    const TimelineMap map = timelineMap();
    const TimelineMap::Position target =
        exactTime ? map.positionAtTime(*exactTime) : map.positionAtPercentage(percentage);
    const double reached = map.percentageAt(target);
    const bool dontplay = reached > kEndPercentage || !isPlaying;
    if (const SessionPtr s = session(current); s && target.session == current) {
        s->jumpToOffset(target.offset);
        if (m_playerSession)
            m_playerSession->setCurrentTime(target.offset);
        const WrenTimeStampPtr last =
            m_events->lastEventBeforeOffset(target.offset, current, WrenTimeStampTypeKey);
        const std::optional<size_t> position = last ? m_events->indexOfEvent(last) : std::nullopt;
        nextEvent(position ? static_cast<int64_t>(*position) : -1);
    } else {
        if (isPlaying) {
            if (s)
                s->stopPlayback();
            if (m_playerSession)
                m_playerSession->stopPlaying();
        }
        m_currentSession = target.session;
        playSession(target.session, target.offset, std::nullopt, std::nullopt, dontplay);
    }
    resetSlideDisplayed();
    if (isPlaying && reached > kEndPercentage) {
        playbackStopped();
        m_pendingPercentage = lq::postToMainThread([self = QPointer<WrenRecording>(this)] {
            if (self)
                self->updatePercentage();
        });
    } else {
        setPercentageDone(static_cast<float>(reached));
    }
}

void WrenRecording::jumpBack()
{
    const int32_t current = currentSession();
    const SessionPtr s = session(current);
    if (!s)
        return;
    const std::optional<double> now = currentOffset(*s);
    if (!now)
        return;
    const TimelineMap map = timelineMap();
    lq::UserDefaults &defaults = lq::UserDefaults::standard();
    const double jump = defaults.contains(kJumpBackTimeKey)
                            ? static_cast<double>(defaults.integerForKey(kJumpBackTimeKey))
                            : kDefaultJumpBackTime;
    const double target = TimelineMap::jumpBackTarget(map.startOf(current) + *now, jump);
    jumpToPercentage(static_cast<float>(map.percentageRate() * target), target);
}

int WrenRecording::toggleFF()
{
    return toggleFastMotion(true);
}

int WrenRecording::toggleRW()
{
    return toggleFastMotion(false);
}

int WrenRecording::toggleFastMotion(bool forwards)
{
    const SessionPtr s = session(currentSession());
    if (!s)
        return -1;
    bool &flag = forwards ? m_fastforwarding : m_rewinding;
    bool &other = forwards ? m_rewinding : m_fastforwarding;
    const float rate = flag ? m_selectedPlaybackSpeed : (forwards ? 4.0f : -4.0f);
    if (!s->setPlayRate(rate) || (m_playerSession && !m_playerSession->setRate(rate)))
        return -1;
    m_playbackSpeed = rate;
    flag = !flag;
    if (flag)
        other = false;
    resetEventTimerWithTS();
    return flag ? 2 : 1;
}

void WrenRecording::setSelectedPlaybackSpeed(float speed)
{
    m_selectedPlaybackSpeed = speed;
    Q_EMIT selectedPlaybackSpeedChanged(speed);
    const SessionPtr s = session(currentSession());
    if (!playing()) {
        m_playbackSpeed = speed;
        return;
    }
    if (!s || !s->setPlayRate(speed) || (m_playerSession && !m_playerSession->setRate(speed)))
        return;
    m_playbackSpeed = speed;
    m_fastforwarding = false;
    m_rewinding = false;
    resetEventTimerWithTS();
}

void WrenRecording::updatePercentage()
{
    const int32_t current = currentSession();
    const SessionPtr s = session(current);
    if (!s) {
        setPercentageDone(0.0f);
        return;
    }
    const std::optional<double> offset = currentOffset(*s);
    const TimelineMap map = timelineMap();
    double value = (map.startOf(current) + offset.value_or(0.0)) * map.percentageRate();
    if (value > kFullPercentage) {
        m_timers.stopPositionTimer();
        value = 100.0;
    }
    setPercentageDone(static_cast<float>(std::max(value, 0.0)));
}
