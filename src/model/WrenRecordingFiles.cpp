#include "engines/LQPlaySession.h"
#include "engines/LQRecSession.h"
#include "model/MediaPlayabilityCheck.h"
#include "model/OldMediaConverter.h"
#include "model/WrenRecording.h"
#include "model/WrenRecordingInternals.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UndoManager.h"
#include "platform/ui/AlertPresenter.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace {

bool isDirectory(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

} // namespace

using wren_recording::modernEnginesRun;
using wren_recording::waitWhile;

bool WrenRecording::isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
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
    registerUndo([this, previous, session] { setRecordingFiles(previous, session); });
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
    // The converted file goes to the temporary folder; the session moves there only once the
    // file is really written and plays.
    const QString folder = mediaPathWithSession(session, true);
    if (folder.isEmpty() || !convertMediaFile(QDir(mediaPathWithSession(session)).filePath(name),
                                              QDir(folder).filePath(name), session))
        return false;
    markSessionNotSaved(session);
    return true;
}

bool WrenRecording::convertMediaFile(const QString &source, const QString &destination,
                                     int32_t session)
{
    const std::unique_ptr<OldMediaConverter> converter = m_conversion->makeConverter();
    QString error;
    if (!converter || !converter->convertFile(source, session))
        return false;
    if (!converter->outputOpens(&error)) {
        lq::log(QStringLiteral("Failed to convert movie: QT reported: %1\n").arg(error));
        return false;
    }
    converter->saveAsMovFile(destination);
    if (!QFileInfo(destination).isFile() || !m_playability ||
        !m_playability->isPlayable(destination)) {
        lq::log(QStringLiteral("Failed to convert movie: nothing playable was written to %1\n")
                    .arg(destination));
        return false;
    }
    return true;
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
