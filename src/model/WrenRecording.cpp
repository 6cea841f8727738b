#include "model/WrenRecording.h"

#include "engines/LQEngineFactory.h"
#include "engines/LQPlaySession.h"
#include "engines/LQRecSession.h"
#include "model/MediaPlayabilityCheck.h"
#include "model/OldMediaConverter.h"
#include "model/RecordingOwner.h"
#include "model/RecordingWindowController.h"
#include "model/WrenEvents.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/TimerService.h"
#include "platform/foundation/UndoManager.h"
#include "platform/ui/AlertPresenter.h"
#include "platform/ui/SystemSleepMonitor.h"

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

constexpr std::chrono::milliseconds kFirstPictureDelay{500};
constexpr auto kEngineWaitLimit = std::chrono::hours(24);

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
    lq::NotificationCenter::defaultCenter().removeObserver(this);
    if (m_eventTimer)
        m_eventTimer->invalidate();
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
    m_delayedPlay.cancel();
    if (hasVideo()) {
        // Shows the first picture of the recording.
        m_delayedPlay = lq::postToMainThread(
            [this] {
                if (LQPlaySession *player = loadPlayer())
                    player->setCurrentTime(0.0);
            },
            kFirstPictureDelay);
    }
}

void WrenRecording::close()
{
    m_closing = true;
    m_delayedPlay.cancel();
    {
        std::lock_guard lock(m_modelMutex);
        m_reloadAfterReset.cancel();
    }
    if (playing())
        stopPlayback();
    if (m_recordingSession) {
        m_recordingSession->stopVideoPreview();
        m_recordingSession->stopAudioPreview();
    }
    const int32_t current = currentSession();
    if (SessionPtr s = session(current)) {
        if (recording()) {
            s->stopSession();
            s->setRecSession(nullptr);
            setRecording(false);
        }
    }
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
    dropPlayer();
    if (sessionCount() > 0) {
        m_percentageDone = 0.0f;
        Q_EMIT percentageDoneChanged(0.0f);
    }
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
        m_reloadAfterReset = lq::postToMainThread([this] { reloadAfterReset(); });
    }
}

void WrenRecording::reloadAfterReset()
{
    SessionPtr current = session(currentSession());
    if (!current)
        return;
    const std::optional<double> offset = currentOffset(*current);
    dropPlayer();
    LQPlaySession *player = loadPlayer();
    if (player && offset)
        player->setCurrentTime(*offset);
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

LQPlaySession *WrenRecording::loadPlayer()
{
    if (m_playerSession)
        return m_playerSession.get();
    const bool modern = modernEnginesRun();
    if (modern && !AVFPlayable())
        return nullptr;
    m_playerSession = LQEngineFactory::current().makePlaybackEngine(
        modern ? LQEngineFactory::Family::Modern : LQEngineFactory::Family::Legacy);
    if (m_playerSession)
        m_playerSession->setTempDir(tempDir());
    return m_playerSession.get();
}

void WrenRecording::dropPlayer()
{
    m_playerSession.reset();
}

void WrenRecording::stopPlayback()
{
    if (!playing())
        return;
    if (m_eventTimer)
        m_eventTimer->invalidate();
    if (SessionPtr current = session(currentSession()))
        current->stopPlayback();
    if (m_playerSession)
        m_playerSession->stopPlaying();
    setPlaying(false);
    if (ownerAnswers(RecordingOwner::Callback::PlaybackStopped))
        m_owner->playbackStopped();
    if (m_controller)
        m_controller->playbackStopped();
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
    std::lock_guard lock(m_clockMutex);
    return m_clockTime;
}

void WrenRecording::setClockTime(lq::Date clockTime)
{
    {
        std::lock_guard lock(m_clockMutex);
        m_clockTime = clockTime;
    }
    Q_EMIT clockTimeChanged(clockTime);
}

void WrenRecording::setSelectedPlaybackSpeed(float speed)
{
    m_selectedPlaybackSpeed = speed;
    Q_EMIT selectedPlaybackSpeedChanged(speed);
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

bool WrenRecording::answers(LQRecSessionOwner::Callback callback) const
{
    return callback != LQRecSessionOwner::Callback::RecordingStopped;
}

void WrenRecording::didStartRecordingToOutputFile(const QUrl &)
{
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

bool WrenRecording::answers(WrenTimerSessionOwner::Callback) const
{
    return true;
}

void WrenRecording::sessionPlaybackStopped()
{
    stopPlayback();
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
    if (sessionCurrent && isPlaying && m_eventTimer)
        m_eventTimer->invalidate();
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
        resetEventTimer();
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
    if (isPlaying && m_eventTimer)
        m_eventTimer->invalidate();
    // Always in time order: the session clock can go back (a restart when the engine begins
    // writing, a snap to the engine's time), so the newest stamp is not always the latest.
    m_events->insertEvent(stamp, false);
    if (isPlaying)
        resetEventTimer();
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

void WrenRecording::resetEventTimer()
{
    if (m_eventTimer)
        m_eventTimer->invalidate();
    const int32_t current = currentSession();
    SessionPtr s = session(current);
    if (!playing() || !s)
        return;
    const std::optional<double> now = currentOffset(*s);
    if (!now)
        return;
    // The first stamp of the session later than now.
    WrenTimeStampPtr next;
    const WrenEvents::StampList &stamps = m_events->getEvents();
    for (const WrenTimeStampPtr &stamp : stamps) {
        if (stamp->session() == current && stamp->offset() > *now) {
            next = stamp;
            break;
        }
    }
    if (!next)
        return;
    const double rate = m_playbackSpeed != 0.0f ? std::fabs(m_playbackSpeed) : 1.0;
    m_eventTimer = lq::TimerService::current().scheduleOnce(
        (next->offset() - *now) / rate, [this, next] { eventTimerFired(next); });
}

void WrenRecording::eventTimerFired(const WrenTimeStampPtr &stamp)
{
    if (stamp->type() == WrenTimeStampTypeKey) {
        if (ownerAnswers(RecordingOwner::Callback::HighlightChar))
            m_owner->highlightChar(stamp->index());
    } else if (m_controller) {
        m_controller->gotoSlide(stamp->index());
    }
    resetEventTimer();
}
