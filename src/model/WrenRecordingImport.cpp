// Importing an outside media file as a session of its own, and the undo steps that take it out
// again. A failed import leaves the note as it was: the files, the file lists, the sessions and
// the stamps.
#include "model/MediaImportDialog.h"
#include "model/MediaPlayabilityCheck.h"
#include "model/OldMediaConverter.h"
#include "model/RecordingWindowController.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "model/WrenRecordingInternals.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UndoManager.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/MediaFlattener.h"
#include "platform/ui/AlertPresenter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>

namespace {

const QString kImportByReferenceKey = QStringLiteral("importByReference");
const QString kImportingDomain = QStringLiteral("importing");
const QString kImportActionName = QStringLiteral("Import Audio/Video");
constexpr int kReplaceFailedCode = 1;
constexpr int kInsertFailedCode = 2;
constexpr int kNoMovieCode = 42;

// What went wrong underneath a failed import; the failure itself tells that it was rolled back.
lq::Error importCause(const QString &description)
{
    return lq::Error(kImportingDomain, kNoMovieCode, description);
}

lq::Error importFailure(bool replaceAll, bool rolledBack, const std::optional<lq::Error> &cause)
{
    const QString description =
        rolledBack
            ? QStringLiteral("Failed to import media file.")
            : QStringLiteral("Experienced an unrecoverable error while importing media file. "
                             "Unfortunately, this document is now currupt. Saving will likely "
                             "result in a corrupt document, so do not try to save. Please close "
                             "this document.");
    const lq::Error error(kImportingDomain, replaceAll ? kReplaceFailedCode : kInsertFailedCode,
                          description);
    return cause ? error.withUnderlyingError(*cause) : error;
}

void showParsingError()
{
    lq::AlertRequest alert;
    alert.messageText = QStringLiteral("Error parsing media");
    alert.informativeText =
        QStringLiteral("Luma Quill cannot parse this audio/video file. Please consider converting "
                       "it to a more common format and trying again.");
    lq::AlertPresenter::current().runModal(alert);
}

} // namespace

using wren_recording::kMovieWriteLimit;
using wren_recording::modernEnginesRun;

class WrenRecording::ImportAttempt
{
public:
    ImportAttempt(WrenRecording &recording, int32_t k, bool replaceAll, bool undoing)
        : m_recording(recording)
        , m_k(k)
        , m_replaceAll(replaceAll)
        , m_undoing(undoing)
        , m_former(recording.timerSessions())
    {}

    std::optional<ImportedMovie> movie;
    std::optional<lq::Error> cause;

    // Writes the new file into the temporary folder: data, a link to linkDestination or to the
    // movie's file, or the movie flattened. Never over an existing file.
    bool placeNewFile(const KeptMediaFilePtr &data, const std::optional<QString> &linkDestination);
    // A written file the player cannot play is converted where it lies.
    bool convertIfUnplayable();
    // Replacing: the files of every session with media are kept (linked or copied into the
    // temporary folder), and deleted from it (a saved note's package is never written).
    bool backUpAndDelete();
    // The new session takes its place, with the file lists to match.
    void commit();
    // The stamps, the controller, the position and the undo step follow.
    void finish();
    // Removes what this attempt added and writes back what it deleted; false when a deleted
    // file cannot be written back.
    bool rollBack();

private:
    QString newPath() const { return QDir(m_folder).filePath(m_name); }
    QString chooseName() const;
    bool fail(const QString &description)
    {
        cause = importCause(description);
        return false;
    }
    void moveFileLists();

    WrenRecording &m_recording;
    const int32_t m_k;
    const bool m_replaceAll;
    const bool m_undoing;
    const std::vector<SessionPtr> m_former;
    QString m_folder;
    QString m_name;
    bool m_createdFile = false;
    bool m_linked = false;
    QMap<QString, KeptMediaFilePtr> m_backup;
    QStringList m_deleted;
    // Sessions whose files were read from the package: an undo puts them in the temporary folder.
    std::vector<SessionPtr> m_leavingPackage;
    SessionPtr m_created;
};

QString WrenRecording::ImportAttempt::chooseName() const
{
    // A redo finds the name listed already, put back by the undo steps of the file lists.
    if (m_undoing) {
        const QStringList listed = m_recording.recordingFiles().value(m_k);
        if (!listed.isEmpty() && isPlainFileName(listed.first()))
            return listed.first();
    }
    return m_recording.freeMovieName(static_cast<int32_t>(m_former.size()), m_folder);
}

bool WrenRecording::ImportAttempt::placeNewFile(const KeptMediaFilePtr &data,
                                                const std::optional<QString> &linkDestination)
{
    m_folder = m_recording.mediaPathWithSession(m_k, true);
    if (m_folder.isEmpty())
        return fail(QStringLiteral("The note’s temporary folder is missing."));
    m_name = chooseName();
    const QString target = newPath();
    lq::FileOperations &files = lq::FileOperations::current();
    if (files.exists(target))
        return fail(QStringLiteral("A file named “%1” is already in the note’s temporary folder.")
                        .arg(m_name));
    lq::Error error;
    const bool byReference =
        linkDestination || (!data && movie && !movie->path.isEmpty() &&
                            lq::UserDefaults::standard().boolForKey(kImportByReferenceKey));
    if (byReference) {
        const QString destination =
            linkDestination ? *linkDestination : QFileInfo(movie->path).absoluteFilePath();
        if (!files.symbolicLink(destination, target, &error)) {
            lq::log(QStringLiteral("Failed to create symbolic link to %1 when importing file, %2\n")
                        .arg(destination, error.localizedDescription()));
            return fail(error.localizedDescription());
        }
        m_createdFile = true;
        m_linked = true;
        return true;
    }
    if (data) {
        if (!data->restoreTo(target, &error)) {
            lq::log(QStringLiteral("Failed to write media to %1\n").arg(target));
            return fail(error.localizedDescription());
        }
        m_createdFile = true;
        movie = ImportedMovie::open(target, &error);
        if (!movie || !(movie->hasAudio || movie->hasVideo)) {
            lq::log(QStringLiteral("Failed to create movie with preprocessed data: %1\n")
                        .arg(error.localizedDescription()));
            return fail(movie ? QStringLiteral("The media file holds neither audio nor video.")
                              : error.localizedDescription());
        }
        return true;
    }
    if (!lq::MediaFlattener::flatten(movie->path, target, kMovieWriteLimit, &error)) {
        lq::log(
            QStringLiteral("Failed to write media file, %1\n").arg(error.localizedDescription()));
        return fail(error.localizedDescription());
    }
    m_createdFile = true;
    return true;
}

bool WrenRecording::ImportAttempt::convertIfUnplayable()
{
    MediaPlayabilityCheck *check = m_recording.mediaPlayabilityCheck();
    OldMediaConversion *conversion = m_recording.oldMediaConversion();
    if (m_linked || !modernEnginesRun() || !check || !conversion || check->isPlayable(newPath()))
        return true;
    conversion->showProgress(1);
    const bool converted = m_recording.convertMediaFile(newPath(), newPath(), m_k);
    if (converted)
        conversion->advanceProgress();
    conversion->closeProgress();
    if (!converted)
        showParsingError();
    return converted;
}

bool WrenRecording::ImportAttempt::backUpAndDelete()
{
    const RecordingFiles lists = m_recording.recordingFiles();
    lq::FileOperations &files = lq::FileOperations::current();
    for (size_t i = 0; i < m_former.size(); ++i) {
        const auto index = static_cast<int32_t>(i);
        // A saved session's files are kept too: once a save has left them out of the package,
        // only the undo step has them.
        const QString folder = m_recording.mediaPathWithSession(index);
        if (!m_recording.sessionHasMedia(*m_former[i]) || folder.isEmpty())
            continue;
        const bool temporary = folder == m_folder;
        for (const QString &name : lists.value(index)) {
            // The new file may be listed already (by a redo); it is not the old media.
            if (!isPlainFileName(name) || name == m_name)
                continue;
            const QString path = QDir(folder).filePath(name);
            if (!QFileInfo::exists(path))
                continue;
            lq::Error error;
            const KeptMediaFilePtr kept = KeptMediaFile::keep(path, m_folder, &error);
            if (!kept)
                return fail(error.localizedDescription());
            m_backup.insert(name, kept);
            if (temporary && !files.remove(path, &error))
                return fail(error.localizedDescription());
            if (temporary)
                m_deleted.append(name);
        }
        if (!temporary)
            m_leavingPackage.push_back(m_former[i]);
    }
    return true;
}

void WrenRecording::ImportAttempt::commit()
{
    m_created = WrenTimerSession::sessionWithLength(movie->length);
    m_created->setHasAudio(movie->hasAudio);
    m_created->setHasVideo(movie->hasVideo);
    if (m_replaceAll) {
        for (const SessionPtr &session : m_former)
            m_recording.forgetSession(session);
        for (const SessionPtr &session : m_leavingPackage)
            session->setSaved(false);
    }
    m_recording.adoptSession(m_created);
    {
        std::lock_guard lock(m_recording.m_modelMutex);
        std::vector<SessionPtr> &sessions = m_recording.m_timerSessions;
        if (m_replaceAll)
            sessions.clear();
        sessions.insert(sessions.begin() + m_k, m_created);
    }
    if (m_recording.m_controller)
        m_recording.observeSessionClock(m_created);
    // A redo has its file lists back already, through their own undo steps.
    if (!m_undoing)
        moveFileLists();
}

void WrenRecording::ImportAttempt::moveFileLists()
{
    // Each list change jumps to the start; with session 0 current that loads no player for
    // lists still half moved.
    m_recording.m_currentSession = 0;
    const RecordingFiles lists = m_recording.recordingFiles();
    const auto listOf = [&lists](int32_t session) {
        return lists.contains(session) ? std::optional<QStringList>(lists.value(session))
                                       : std::nullopt;
    };
    const auto count = static_cast<int32_t>(m_former.size());
    if (m_replaceAll) {
        for (int32_t i = 0; i < count; ++i) {
            if (lists.contains(i))
                m_recording.setRecordingFiles(std::nullopt, i);
        }
    } else {
        for (int32_t g = count - 1; g >= m_k; --g) {
            if (m_recording.sessionHasMedia(*m_former[size_t(g)]))
                m_recording.setRecordingFiles(listOf(g), g + 1);
        }
    }
    m_recording.setRecordingFiles(QStringList{m_name}, m_k);
}

void WrenRecording::ImportAttempt::finish()
{
    if (!m_undoing) {
        // A redo has the stamps moved already, by the event store's own undo steps.
        if (m_replaceAll) {
            QList<double> lengths;
            for (const SessionPtr &s : m_former) {
                double seconds = 0.0;
                lengths.append(s->length(&seconds) ? seconds : 0.0);
            }
            m_recording.m_events->resetEventsToFirstSessionWithSessionLengths(lengths);
            m_recording.m_events->resetSessionLengthTo(movie->length);
        } else {
            m_recording.m_events->insertSession(m_k, movie->length);
        }
    }
    if (m_recording.m_controller) {
        if (m_former.empty())
            m_recording.m_controller->setRecordingExists();
        if (m_created->hasVideo())
            m_recording.m_controller->expandVideoSection();
    }
    m_recording.m_percentageRate = -1.0f;
    m_recording.m_currentSession = -1;
    m_recording.updatePercentage();
    m_recording.setClockTime(lq::clockEpoch());
    if (m_recording.m_owner)
        m_recording.m_owner->sessionsChanged();
    if (m_replaceAll) {
        m_recording.registerUndo([&r = m_recording, former = m_former, backup = m_backup] {
            r.unReplaceMediaWithSessions(former, backup, true);
        });
    } else {
        m_recording.registerUndo(
            [&r = m_recording, k = m_k] { r.unInsertMediaForSession(k, false, true); });
    }
    if (lq::UndoManager *undo = m_recording.ownerUndoManager())
        undo->setActionName(kImportActionName);
    m_recording.playSession(0, 0.0, std::nullopt, std::nullopt, true);
}

bool WrenRecording::ImportAttempt::rollBack()
{
    lq::FileOperations &files = lq::FileOperations::current();
    lq::Error error;
    // A file left over here is listed nowhere: the note stays sound.
    if (m_createdFile && !files.remove(newPath(), &error))
        lq::log(QStringLiteral("Failed to remove %1 after a failed import: %2\n")
                    .arg(newPath(), error.localizedDescription()));
    bool restored = true;
    for (const QString &name : m_deleted) {
        const QString path = QDir(m_folder).filePath(name);
        if (!m_backup.value(name)->restoreTo(path, &error)) {
            lq::log(QStringLiteral("Failed to write back %1 after a failed import: %2\n")
                        .arg(path, error.localizedDescription()));
            restored = false;
        }
    }
    return restored;
}

// Importing

bool WrenRecording::importRefused() const
{
    if (!recording() && !playing())
        return false;
    lq::log(QStringLiteral("Media cannot be imported while the note is %1.\n")
                .arg(recording() ? QStringLiteral("recording") : QStringLiteral("playing")));
    return true;
}

void WrenRecording::withFileAccess(const std::function<void()> &work)
{
    if (ownerAnswers(RecordingOwner::Callback::SynchronousFileAccess))
        m_owner->performSynchronousFileAccess(work);
    else
        work();
}

void WrenRecording::forgetSession(const SessionPtr &session)
{
    // The controller's observations of a session are connections with the session as context.
    disconnect(session.get(), &WrenTimerSession::clockTimeChanged, session.get(), nullptr);
    session->setPlaySession(nullptr);
}

void WrenRecording::importMediaFromFile(const QString &path)
{
    if (importRefused())
        return;
    if (!m_importMC)
        m_importMC = MediaImportDialogFactory::current().makeImportDialog(*this);
    if (!m_importMC)
        return;
    m_importMC->setTimerSessions(timerSessions());
    m_importMC->importMediaFromFile(path);
}

bool WrenRecording::insertMedia(const ImportedMovie &movie, int32_t k, bool replaceAll,
                                lq::Error *error)
{
    return insertMedia(movie, k, replaceAll, nullptr, std::nullopt, false, error);
}

bool WrenRecording::insertMedia(const std::optional<ImportedMovie> &movie, int32_t k,
                                bool replaceAll, const KeptMediaFilePtr &preProcessedData,
                                const std::optional<QString> &symLinkDest, bool undoing,
                                lq::Error *error)
{
    // A redo comes after its file lists and stamps came back: playback stops rather than leave
    // them without their session.
    if (undoing && playing() && !recording())
        stopPlayback();
    if (importRefused())
        return false;
    dropPlayer();
    const int32_t count = sessionCount();
    // Replacing leaves one session: the new session 0.
    if (k < 0 || k > count || (replaceAll && k != 0) || !(movie || preProcessedData || symLinkDest))
        return false;

    ImportAttempt attempt(*this, k, replaceAll, undoing);
    if (symLinkDest) {
        lq::Error cause;
        attempt.movie = ImportedMovie::open(*symLinkDest, &cause);
        if (!attempt.movie) {
            lq::log(QStringLiteral("Movie at destination %1 disappeared: %2\n")
                        .arg(*symLinkDest, cause.localizedDescription()));
            lq::setError(error, importCause(cause.localizedDescription()));
            return false;
        }
    } else if (!preProcessedData) {
        attempt.movie = movie;
    }
    if (attempt.movie && !(attempt.movie->hasAudio || attempt.movie->hasVideo))
        return false;

    // The old media are deleted last, once the new file is written and plays, so that a save
    // meanwhile (the conversion shows a window) finds the note as it was.
    bool placed = false;
    withFileAccess([&] { placed = attempt.placeNewFile(preProcessedData, symLinkDest); });
    bool imported = placed && attempt.convertIfUnplayable();
    bool rolledBack = true;
    withFileAccess([&] {
        imported = imported && (!replaceAll || attempt.backUpAndDelete());
        if (imported)
            attempt.commit();
        else
            rolledBack = attempt.rollBack();
    });
    if (!imported) {
        if (!rolledBack)
            setIsCorrupt(true);
        lq::setError(error, importFailure(replaceAll, rolledBack, attempt.cause));
        return false;
    }

    attempt.finish();
    return true;
}

// Undoing an import

bool WrenRecording::takeOutImportedFile(int32_t session, bool keep, KeptImport *kept)
{
    lq::FileOperations &files = lq::FileOperations::current();
    const QString name = recordingFiles().value(session).value(0);
    // After a save the file lies in the package, which keeps it until the next save.
    const QString folder = mediaPathWithSession(session);
    const bool temporary = folder == mediaPathWithSession(session, true);
    const QString path = QDir(folder).filePath(name);
    if (folder.isEmpty() || !isPlainFileName(name) || !files.exists(path))
        return true;
    if (keep && QFileInfo(path).isSymLink()) {
        lq::Error error;
        const QString destination = files.readLink(path, &error);
        if (destination.isEmpty())
            lq::log(
                QStringLiteral("Failed to resolve destination of symbolic link at %1\n").arg(path));
        else
            kept->linkDestination = destination;
    } else if (keep) {
        lq::Error error;
        kept->bytes = KeptMediaFile::keep(path, mediaPathWithSession(session, true), &error);
        // Deleting what cannot be kept would lose it for good.
        if (!kept->bytes) {
            lq::log(QStringLiteral("The imported file %1 cannot be kept for redo: %2\n")
                        .arg(path, error.localizedDescription()));
            return false;
        }
    }
    lq::Error error;
    if (!temporary || files.remove(path, &error))
        return true;
    lq::log(QStringLiteral("Failed to delete imported file %1: %2\n")
                .arg(path, error.localizedDescription()));
    return false;
}

void WrenRecording::finishTakingOutImport(int32_t k, bool replaceAll, bool prepareUndo, bool taken,
                                          const KeptImport &kept)
{
    if (sessionCount() == 0 && m_controller)
        m_controller->setRecordingGone();
    m_percentageRate = -1.0f;
    m_currentSession = -1;
    updatePercentage();
    setClockTime(lq::clockEpoch());
    if (m_owner)
        m_owner->sessionsChanged();
    if (prepareUndo && taken && (kept.bytes || kept.linkDestination)) {
        registerUndo([this, k, replaceAll, kept] {
            insertMedia(std::nullopt, k, replaceAll, kept.bytes, kept.linkDestination, true,
                        nullptr);
        });
    }
    if (sessionCount() > 0)
        playSession(0, 0.0, std::nullopt, std::nullopt, true, true);
}

bool WrenRecording::unInsertMediaForSession(int32_t k, bool ignoreTimerSession, bool prepareUndo)
{
    dropPlayer();
    if (mediaPathWithSession(k, true).isEmpty())
        return false;
    KeptImport kept;
    const bool taken = takeOutImportedFile(k, prepareUndo, &kept);
    if (const SessionPtr s = session(k); s && !ignoreTimerSession) {
        forgetSession(s);
        std::lock_guard lock(m_modelMutex);
        m_timerSessions.erase(m_timerSessions.begin() + k);
    }
    finishTakingOutImport(k, false, prepareUndo, taken, kept);
    return taken;
}

bool WrenRecording::unReplaceMediaWithSessions(const std::vector<SessionPtr> &sessions,
                                               const QMap<QString, KeptMediaFilePtr> &recordings,
                                               bool prepareUndo)
{
    dropPlayer();
    const QString folder = mediaPathWithSession(0, true);
    if (folder.isEmpty())
        return false;
    KeptImport kept;
    const bool taken = takeOutImportedFile(0, prepareUndo, &kept);
    bool restored = true;
    for (auto it = recordings.cbegin(); restored && it != recordings.cend(); ++it) {
        lq::Error error;
        restored = isPlainFileName(it.key()) && it.value() &&
                   it.value()->restoreTo(QDir(folder).filePath(it.key()), &error);
        if (!restored)
            lq::log(QStringLiteral("Failed to write back %1 when undoing an import: %2\n")
                        .arg(it.key(), error.localizedDescription()));
    }
    // The former sessions come back even when a file does not: their file lists come back
    // through their own undo steps, and must find their sessions.
    for (const SessionPtr &s : timerSessions())
        forgetSession(s);
    {
        std::lock_guard lock(m_modelMutex);
        m_timerSessions = sessions;
    }
    for (const SessionPtr &s : sessions) {
        adoptSession(s);
        if (m_controller)
            observeSessionClock(s);
    }
    finishTakingOutImport(0, true, prepareUndo, taken && restored, kept);
    return taken && restored;
}
