// Cropping a note's recording at the current position, with undo steps that bring every media
// file back byte for byte.
#include "engines/LQEngineFactory.h"
#include "engines/LQPlaySession.h"
#include "model/KeptMediaFile.h"
#include "model/RecordingWindowController.h"
#include "model/WrenRecording.h"
#include "model/WrenRecordingInternals.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UndoManager.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The file at path kept in folder for an undo step; none when it is missing. False when it is
// there but cannot be kept.
bool keepPresent(const QString &path, const QString &folder, KeptMediaFilePtr *kept,
                 lq::Error *error)
{
    kept->reset();
    if (!lq::FileOperations::current().exists(path))
        return true;
    *kept = KeptMediaFile::keep(path, folder, error);
    return *kept != nullptr;
}

// The kept file goes back to path in one step, or with none the file goes.
bool putBack(const QString &path, const KeptMediaFilePtr &kept, lq::Error *error)
{
    lq::FileOperations &files = lq::FileOperations::current();
    if (!kept)
        return !files.exists(path) || files.remove(path, error);
    return kept->restoreTo(path, error);
}

} // namespace

void WrenRecording::removeMovieFromView()
{
    if (m_playerSession)
        m_playerSession->setPlayerView(nullptr);
    if (m_controller)
        m_controller->setVideoView(nullptr);
    if (m_movieView)
        m_movieView->deleteLater();
    m_movieView = nullptr;
}

bool WrenRecording::trimFromNow()
{
    if (recording() || playing())
        return false;
    // The media are cut while events are handled: one explicit group keeps the crop one step.
    lq::UndoManager *undo = ownerUndoManager();
    if (undo) {
        undo->beginUndoGrouping();
        undo->setActionName(QStringLiteral("Crop"));
    }
    removeMovieFromView();

    const int32_t current = currentSession();
    const bool hasCurrent = session(current) != nullptr;
    std::optional<double> cropPoint;
    if (hasCurrent) {
        double now = 0.0;
        if (session(current)->nowInterval(&now))
            cropPoint = now;
    }
    // Only the first session cropped has a crop point: the later ones are left empty.
    const int32_t first = hasCurrent ? current : 0;
    bool cropped = true;
    for (int32_t index = first; cropped && index < sessionCount(); ++index)
        cropped = cropSession(index, index == first ? cropPoint : std::nullopt);

    m_percentageRate = -1.0f;
    dropPlayer();
    if (sessionCount() > 0)
        playSession(0, std::nullopt, std::nullopt, std::nullopt, true);
    if (undo)
        undo->endUndoGrouping();
    return cropped;
}

bool WrenRecording::cropSession(int32_t index, std::optional<double> cropPoint)
{
    const SessionPtr s = session(index);
    s->setPlaySession(nullptr);
    const QStringList names = recordingFiles().value(index);
    if (sessionHasMedia(*s) && !names.isEmpty()) {
        const QString folder = mediaPathWithSession(index, true);
        if (!prepareFilesForCrop(index, names, folder))
            return false;
        const std::shared_ptr<LQPlaySession> engine =
            LQEngineFactory::current().makePlaybackEngine();
        QStringList newFiles;
        if (!engine)
            return false;
        engine->setTempDir(tempDir());
        if (!engine->addMediaFiles(names, folder) || !engine->trimFrom(cropPoint, &newFiles))
            return false;
        setRecordingFiles(newFiles, index);
        markSessionNotSaved(index);
    }
    s->trimFrom(cropPoint.value_or(0.0));
    return true;
}

bool WrenRecording::prepareFilesForCrop(int32_t index, const QStringList &names,
                                        const QString &folder)
{
    if (folder.isEmpty()) {
        lq::log(QStringLiteral("Error preparing recording files for crop: %1\n")
                    .arg(QStringLiteral("the temporary folder is missing")));
        return false;
    }
    const QString mediaFolder = mediaPathWithSession(index);
    const QDir temporary(folder);
    for (const QString &name : names) {
        const QString path = temporary.filePath(name);
        lq::Error error;
        // A saved session's media lie in the package, which is never changed in place; its
        // copy takes the place of an older one only once complete.
        if (mediaFolder != folder &&
            !wren_recording::copyReplacing(QDir(mediaFolder).filePath(name), path, &error)) {
            lq::log(QStringLiteral("Error preparing recording files for crop: %1\n")
                        .arg(error.localizedDescription()));
            return false;
        }
        KeptMediaFilePtr kept;
        if (!keepPresent(path, folder, &kept, &error)) {
            lq::log(QStringLiteral("Error preparing recording files for crop: %1\n")
                        .arg(error.localizedDescription()));
            return false;
        }
        registerUndo([this, path, kept, index] { restoreRecordingFile(path, kept, index); });
    }
    return true;
}

void WrenRecording::restoreRecordingFile(const QString &path, const KeptMediaFilePtr &data,
                                         int32_t session)
{
    lq::Error error;
    // A save moves the temporary file into the package: the package's file is then the one that
    // the step back puts back.
    const QString mediaFolder = mediaPathWithSession(session);
    const bool inPackage =
        !mediaFolder.isEmpty() && mediaFolder != mediaPathWithSession(session, true);
    const QString source = inPackage && !lq::FileOperations::current().exists(path)
                               ? QDir(mediaFolder).filePath(QFileInfo(path).fileName())
                               : path;
    KeptMediaFilePtr present;
    if (!keepPresent(source, QFileInfo(path).absolutePath(), &present, &error)) {
        // Replacing it would lose what it holds now.
        lq::log(
            QStringLiteral("Failed to restore %1: %2\n").arg(path, error.localizedDescription()));
        return;
    }
    if (!putBack(path, data, &error)) {
        lq::log(
            QStringLiteral("Failed to restore %1: %2\n").arg(path, error.localizedDescription()));
        return;
    }
    registerUndo([this, path, present, session] { restoreRecordingFile(path, present, session); });
    // Without data the file was one the crop removed: where the session's media lie is left to
    // the other steps of the same undo.
    if (data)
        markSessionNotSaved(session);
    m_percentageRate = -1.0f;
    jumpToPercentage(0.0f);
    dropPlayer();
}
