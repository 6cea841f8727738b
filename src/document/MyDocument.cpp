#include "document/MyDocument.h"

#include "document/BMAttributedString.h"
#include "document/DocumentWindowController.h"
#include "document/ExportProgressWindow.h"
#include "document/MediaSidebar.h"
#include "document/PackageMember.h"
#include "document/PackageMeta.h"
#include "document/TemporaryFolderClaim.h"
#include "document/UndoableTextChanges.h"
#include "document/VersionGate.h"
#include "model/ModelArchiveClasses.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/TimerService.h"
#include "platform/text/TextArchive.h"
#include "platform/ui/AlertPresenter.h"
#include "platform/ui/WindowFrameString.h"
#include "shared/FileKinds.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QThread>
#include <QUrl>

namespace {

using namespace std::chrono_literals;

constexpr auto kPollInterval = 50ms;

const QString kTextMember = QStringLiteral("text");
const QString kPortableTextMember = QStringLiteral("bmtext");
const QString kMetaMember = QStringLiteral("meta");
const QString kRecordingMember = QStringLiteral("recording");

lq::Error statusError(int code, const QString &message)
{
    return lq::Error(QLatin1String(MyDocument::kStatusErrorDomain), code, message);
}

// A failed save that produced no error of its own.
lq::Error unexpectedSaveError()
{
    lq::log(QStringLiteral("an unexpected error occurred while saving\n"));
    return statusError(-4, QCoreApplication::translate("MyDocument",
                                                       "The note could not be saved because of an "
                                                       "unexpected error."));
}

// Waits until done holds or limit passes: the main thread keeps its event loop turning, another
// thread looks again every poll interval.
bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds limit)
{
    if (lq::isMainThread())
        return lq::runEventLoopUntil(done, limit);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QThread::msleep(static_cast<unsigned long>(kPollInterval.count()));
    }
    return true;
}

} // namespace

// What a save takes of the live note on the main thread, before the user may edit again.
struct MyDocument::Snapshot
{
    lq::TextCopy text;
    PackageMeta meta;
    lq::ArchivablePtr recording;
    PackageWriter::MediaFiles media;
    PackageWriter::HeldFiles held;
    QString storedPackage;
    int64_t imageNumber = 0;
    bool hadFile = false;
    bool recordingOrPlaying = false;
    QString tempFolder;
    // A copy (saved to another place) changes nothing of the note.
    bool copy = false;
};

MyDocument::MyDocument(QObject *parent)
    : lq::Document(parent)
    , m_mediaConversion([this] { return m_recordingObject->tempDir(); })
    , m_applicationVersion(lq::Bundle::shortVersion())
{
    registerModelArchiveClasses();
    wireRecording(std::make_shared<WrenRecording>());
    connect(this, &Document::fileUrlChanged, this, &MyDocument::nameStoredPackageInClaim);
    connect(this, &Document::autosavedContentsUrlChanged, this,
            &MyDocument::nameStoredPackageInClaim);
    lq::NotificationCenter::defaultCenter().addObserver(
        this, QLatin1String(kLowLevelUserErrorNotification), nullptr,
        [this](const lq::Notification &notification) { lowLevelErrorOccurred(notification); });
}

MyDocument::~MyDocument()
{
    // A save's thread may still use the note.
    waitForSaves();
    m_infoBarTimer.reset();
    // The window goes first, so that its views never call a half-destroyed document.
    setTextView(nullptr);
    m_windowController.reset();
    m_recordingObject->setOwner(nullptr);
}

void MyDocument::setFileUrl(const QString &path)
{
    if (!path.isEmpty())
        m_recordingObject->setURL(QUrl::fromLocalFile(path));
    Document::setFileUrl(path);
}

bool MyDocument::answers(Callback callback) const
{
    return callback == Callback::HighlightChar || callback == Callback::PlaybackStopped ||
           callback == Callback::SetFinishedRecordingToFile || callback == Callback::UndoManager ||
           callback == Callback::UpdateChangeCount || callback == Callback::SynchronousFileAccess;
}

void MyDocument::updateChangeCount(int32_t changeType)
{
    switch (changeType) {
    case 0:
        updateChangeCount(ChangeKind::Done);
        break;
    case 1:
        updateChangeCount(ChangeKind::Undone);
        break;
    case 2:
        updateChangeCount(ChangeKind::Cleared);
        break;
    case 5:
        updateChangeCount(ChangeKind::Redone);
        break;
    default:
        break;
    }
}

void MyDocument::wireRecording(const std::shared_ptr<WrenRecording> &recording)
{
    if (m_recordingObject) {
        m_recordingObject->close();
        m_recordingObject->setOwner(nullptr);
    }
    // Decoded on another thread, it lives (and makes its engines) on the main thread.
    if (QCoreApplication::instance() &&
        recording->thread() != QCoreApplication::instance()->thread())
        recording->moveToThread(QCoreApplication::instance()->thread());
    m_recordingObject = recording;
    m_recordingObject->setMediaPlayabilityCheck(&m_mediaPlayability);
    m_recordingObject->setOldMediaConversion(&m_mediaConversion);
    initRecording();
}

void MyDocument::nameStoredPackageInClaim()
{
    if (m_tempFolderClaim)
        m_tempFolderClaim->setPackage(fileUrl().isEmpty() ? autosavedContentsUrl() : fileUrl());
}

// Saving

lq::Document::Writing MyDocument::beginWriting(const QString &target, lq::SaveOperation operation,
                                               lq::Error *error)
{
    if (target.isEmpty() || !QDir::isAbsolutePath(target)) {
        lq::setError(error, PackageWriter::savingError(
                                13, QStringLiteral("Error saving: %1 is not a file").arg(target)));
        return {};
    }
    if (!fileUrl().isEmpty() && QFileInfo(target) == QFileInfo(fileUrl())) {
        // Saves write a fresh package beside the stored one; a failure must never reach it.
        lq::log(
            QStringLiteral("Program error, asked to write over the stored note %1.\n").arg(target));
        lq::setError(error, unexpectedSaveError());
        return {};
    }
    if (recording && m_recordingObject->recordingSpinningUp() &&
        autosavingIsImplicitlyCancellable() && error) {
        *error = statusError(3072, tr("The autosave was put off while the recording starts."));
        return {};
    }
    lq::Error failure;
    std::shared_ptr<Snapshot> snapshot = takeSnapshot(target, operation, &failure);
    if (!snapshot) {
        lq::setError(error, failure.isNull() ? unexpectedSaveError() : failure);
        return {};
    }
    // The rest runs on the save's own thread, on what the snapshot holds.
    return [this, snapshot, target](lq::Error *error) {
        lq::Error failure;
        if (writePackage(*snapshot, target, &failure))
            return true;
        lq::setError(error, failure.isNull() ? unexpectedSaveError() : failure);
        return false;
    };
}

bool MyDocument::finishRecording(const std::function<bool()> &stop)
{
    finishedRecordingToFile = false;
    if (!lq::runOnMainThread(stop))
        return false;
    // An engine that never reports must not hold the note for ever.
    if (!waitUntil([this] { return finishedRecordingToFile.load(); }, m_stopTimeLimit))
        lq::log(QStringLiteral("Program error: the stopped recording's movie was not final "
                               "after %1 seconds; the note goes on with what is there.\n")
                    .arg(std::chrono::duration<double>(m_stopTimeLimit).count()));
    return true;
}

std::shared_ptr<MyDocument::Snapshot>
MyDocument::takeSnapshot(const QString &target, lq::SaveOperation operation, lq::Error *error)
{
    if (recording && isClosing && !finishRecording([this] { return stopRecording(); })) {
        *error = PackageWriter::savingError(
            1, QStringLiteral("Failed to stop recording when saving while closing."));
        return nullptr;
    }
    PackageWriter writer(target);
    if (!writer.makePackageFolder(error))
        return nullptr;
    // First, as the recording's engine may keep the event loop turning while it gets ready; from
    // here on nothing the user does can come between the parts of the snapshot.
    if (!m_recordingObject->prepareToSave()) {
        *error = PackageWriter::savingError(
            15, QStringLiteral("Failed to save, recording has been corrupted."));
        return nullptr;
    }
    auto snapshot = std::make_shared<Snapshot>();
    snapshot->text = m_textStorage.copyOf({0, m_textStorage.length()});
    PackageMeta &meta = snapshot->meta;
    meta.playbackMode = playbackMode;
    if (m_windowController) {
        // The layout as the window shows it now.
        const DocumentWindowOutlets &outlets = m_windowController->outlets();
        // In full screen, the frame the window comes back to.
        meta.winFrame =
            m_isFullScreen && savedFrame ? *savedFrame : lq::windowFrameString(outlets.window);
        meta.recControllerState = m_windowController->currentState();
        meta.dividerPosition = outlets.docView->width();
    } else {
        meta.winFrame = savedFrame;
        meta.recControllerState = recordingControllerState;
        meta.dividerPosition = dividerPosition.value_or(0.0);
    }
    meta.setNeedsImages(false);
    // A copy leaves the note's own count as it is.
    meta.serialNumber =
        operation == lq::SaveOperation::SaveTo ? m_serialNumber + 1 : ++m_serialNumber;
    meta.autorecovery = currentlyAutosaving || lq::isAutosave(operation);

    PackageWriter::MediaFiles &media = snapshot->media;
    const QString slides = m_recordingObject->slidesFileName();
    if (m_recordingObject->hasSlides() && !slides.isEmpty()) {
        media.slidesPath = slides;
        media.paths.append(slides);
    }
    media.paths += m_recordingObject->allRecordingFiles();
    media.currentRecordingFile = m_recordingObject->currentRecordingFile();
    snapshot->recording = m_recordingObject->archiveCopy();
    writer.holdFiles(media, &snapshot->held);
    snapshot->storedPackage = fileUrl();
    snapshot->imageNumber = m_imageNumber;
    snapshot->hadFile = !fileUrl().isEmpty();
    snapshot->recordingOrPlaying = recording || playing;
    snapshot->tempFolder = tempRecordingDir;
    snapshot->copy = operation == lq::SaveOperation::SaveTo;
    return snapshot;
}

bool MyDocument::writePackage(const Snapshot &snapshot, const QString &target, lq::Error *error)
{
    PackageWriter writer(target);
    PackageMeta meta = snapshot.meta;
    const lq::AttributedString text = snapshot.text.attributedString();
    const std::shared_ptr<BMAttributedString> portable =
        BMAttributedString::BMAttributedStringWithMacAttributedString(text, snapshot.storedPackage,
                                                                      snapshot.imageNumber);
    meta.setNeedsImages(!portable->imageFiles().isEmpty());
    if (!writer.writeMember(kTextMember, lq::archivedText(text), 6, error) ||
        !writer.writeMember(kPortableTextMember, portable->archivedData(), 14, error) ||
        !writer.writeMember(kMetaMember, meta.archivedData(), 7, error) ||
        !writer.writeImages(portable->imageFiles(), snapshot.storedPackage, error))
        return false;

    const std::shared_ptr<WrenRecording> recordingObject = m_recordingObject;
    bool complete = false;
    if (!writer.bringInFiles(
            snapshot.held, snapshot.media,
            [this](const QString &, bool isSlides) { return askToContinueWithout(isSlides); },
            [&recordingObject, &snapshot](const QString &path) {
                if (!snapshot.copy)
                    recordingObject->forgetRecordingFile(path);
            },
            &complete, error)) {
        if (error->code() == 8 && !snapshot.copy)
            setFailedSaveAborted(*error);
        return false;
    }
    const QByteArray recordingArchive =
        lq::KeyedArchiver::archivedData(lq::ArchiveValue::object(snapshot.recording));
    if (!writer.writeMember(kRecordingMember, recordingArchive, 5, error))
        return false;

    SavedMedia saved{
        {}, snapshot.tempFolder, complete, snapshot.hadFile, snapshot.recordingOrPlaying};
    for (const PackageWriter::HeldFile &file : snapshot.held.files) {
        if (file.identity.valid)
            saved.files.emplace_back(file.path, file.identity);
    }
    m_savedMedia.set(saved);
    if (!snapshot.copy)
        setFailedSaveAborted(lq::Error());
    return true;
}

bool MyDocument::askToContinueWithout(bool isSlides)
{
    lq::AlertRequest question;
    question.messageText =
        isSlides ? QStringLiteral("Error saving: The slides file is missing, though I don't know "
                                  "why. Would you like to continue saving what can be saved, or "
                                  "abort saving?")
                 : QStringLiteral("Error saving: One of the recording files is missing. This "
                                  "likely meant that something went wrong during recording at "
                                  "some point. Would you like to continue saving what can be "
                                  "saved, or abort saving?");
    question.buttons = {QStringLiteral("Continue Saving"), QStringLiteral("Abort Saving")};
    if (lq::isMainThread())
        return lq::AlertPresenter::current().runModal(question).buttonIndex == 0;
    // Asked on the main thread; this thread looks for the answer every poll interval.
    const auto answer = std::make_shared<std::atomic<int>>(-1);
    continueAsynchronousWorkOnMainThread([answer, question] {
        answer->store(1000 + lq::AlertPresenter::current().runModal(question).buttonIndex);
    });
    while (answer->load() == -1)
        QThread::msleep(static_cast<unsigned long>(kPollInterval.count()));
    return answer->load() == 1000;
}

void MyDocument::didSave(const QString &, lq::SaveOperation operation)
{
    const SavedMedia saved = m_savedMedia.get();
    m_savedMedia.set({});
    if (recording)
        m_recordingObject->mergeRecordings();
    // Only once the package holding them is stored, and only when it is the note's own file:
    // the temporary copies of the media it holds can go.
    if (operation != lq::SaveOperation::Save && operation != lq::SaveOperation::SaveAs)
        return;
    if (!saved.complete || !saved.hadFile || saved.recordingOrPlaying || recording || playing)
        return;
    const QDir folder(saved.tempFolder);
    for (const auto &[path, identity] : saved.files) {
        // A file replaced since the save took it (by a crop, say) is not the one saved.
        if (saved.tempFolder.isEmpty() || QFileInfo(path).dir() != folder ||
            !path.endsWith(QLatin1String(".mov")) || lq::FileIdentity::of(path) != identity)
            continue;
        lq::Error error;
        if (!lq::FileOperations::current().remove(path, &error))
            lq::log(QStringLiteral("Failed to delete temporary file %1: %2\n")
                        .arg(path, error.localizedDescription()));
    }
    m_recordingObject->resetExistingSessions();
}

bool MyDocument::isCompleteFile(const QString &path) const
{
    // "recording" is written last.
    return QFileInfo(path + QLatin1Char('/') + kRecordingMember).isFile();
}

// Reading

// A package as read, before anything of the note changes.
struct MyDocument::StoredNote
{
    QString importingFile; // a plain media or slides file: nothing else is read
    PackageMeta meta;
    lq::AttributedString text;
    int64_t imageNumber = 0;
    std::shared_ptr<WrenRecording> recording;
};

bool MyDocument::readFromUrl(const QString &path, lq::Error *error)
{
    std::optional<StoredNote> stored = readStoredNote(path, error);
    if (!stored)
        return false;
    adoptStoredNote(std::move(*stored), path);
    return true;
}

bool MyDocument::revertToContentsOfUrl(const QString &path, lq::Error *error)
{
    std::optional<StoredNote> stored;
    performSynchronousFileAccess([&] { stored = readStoredNote(path, error); });
    if (!stored)
        return false;
    std::optional<TemporaryFolder> folder = makeTemporaryFolder();
    if (!folder) {
        lq::setError(error,
                     statusError(3072, tr("The note was not reverted, as it has no temporary "
                                          "folder.")));
        return false;
    }
    if (!stopPlaybackAndRecording()) {
        QDir(folder->path).removeRecursively();
        lq::setError(error, statusError(3072, tr("The note was not reverted, as its recording "
                                                 "could not be stopped.")));
        return false;
    }
    prepareForClose();
    startOver(std::move(*folder));
    adoptStoredNote(std::move(*stored), path);
    finishRevert(path);
    if (m_windowController)
        windowControllerDidLoadNib();
    return true;
}

std::optional<MyDocument::StoredNote> MyDocument::readStoredNote(const QString &path,
                                                                 lq::Error *error)
{
    const auto notANote = [&]() -> std::optional<StoredNote> {
        if (isSlidesFile(path) || isQTFile(path))
            return StoredNote{path, {}, {}, 0, nullptr};
        lq::setError(error, statusError(-4, tr("“%1” is not a note that Luma Quill can open.")
                                                .arg(QFileInfo(path).fileName())));
        return std::nullopt;
    };
    const auto damaged = [&](const QString &what,
                             const lq::Error &cause) -> std::optional<StoredNote> {
        lq::log(QStringLiteral("Cannot open %1: %2 %3\n")
                    .arg(path, what, cause.localizedDescription()));
        lq::setError(error, statusError(-4, tr("The note “%1” cannot be opened because %2.")
                                                .arg(QFileInfo(path).fileName(), what))
                                .withUnderlyingError(cause));
        return std::nullopt;
    };

    const PackageMember metaMember(path, kMetaMember);
    if (!metaMember.exists())
        return notANote();
    if (!metaMember.bytes())
        return damaged(tr("its settings are damaged"), metaMember.error());
    lq::Error cause;
    std::optional<PackageMeta> meta = PackageMeta::unarchived(*metaMember.bytes(), &cause);
    if (!meta)
        return damaged(tr("its settings are damaged"), cause);
    if (meta->minVersionCanRead && !m_applicationVersion.isEmpty() &&
        !VersionGate::accepts(*meta->minVersionCanRead, m_applicationVersion)) {
        lq::setError(error, VersionGate::refusal(*meta->minVersionCanRead, m_applicationVersion));
        return std::nullopt;
    }

    std::optional<lq::AttributedString> text;
    int64_t imageNumber = m_imageNumber;
    {
        // Their bytes are gone before the recording's are read.
        const PackageMember textMember(path, kTextMember);
        const PackageMember portableMember(path, kPortableTextMember);
        if (!textMember.exists() && !portableMember.exists())
            return notANote();
        if (textMember.exists()) {
            cause = textMember.error();
            if (textMember.bytes())
                text = lq::unarchivedText(*textMember.bytes(), &cause);
            if (!text)
                lq::log(QStringLiteral("The text of %1 cannot be read (%2); its portable copy is "
                                       "read instead.\n")
                            .arg(path, cause.localizedDescription()));
        }
        if (portableMember.exists()) {
            std::shared_ptr<BMAttributedString> portable;
            if (portableMember.bytes())
                portable = BMAttributedString::unarchived(*portableMember.bytes(), &cause);
            else
                cause = portableMember.error();
            if (portable) {
                if (text)
                    portable->fixUpMacAttributedStringFrom(*text, path);
                else
                    text = portable->macAttributedStringWithImageDir(path);
                imageNumber = portable->imageNumber();
            }
        }
    }
    if (!text)
        return damaged(tr("its text is damaged"), cause);

    const PackageMember recordingMember(path, kRecordingMember);
    if (!recordingMember.exists())
        return notANote();
    if (!recordingMember.bytes())
        return damaged(tr("its recording is damaged"), recordingMember.error());
    std::shared_ptr<WrenRecording> recordingObject =
        lq::KeyedUnarchiver::unarchiveObject<WrenRecording>(
            *recordingMember.bytes(), registerModelArchiveClasses(), &cause,
            WrenEvents::decodingContext(text->length()));
    if (!recordingObject)
        return damaged(tr("its recording is damaged"), cause);
    return StoredNote{QString(), std::move(*meta), std::move(*text), imageNumber,
                      std::move(recordingObject)};
}

void MyDocument::adoptStoredNote(StoredNote &&stored, const QString &path)
{
    if (!stored.importingFile.isEmpty()) {
        m_openImportingFile = stored.importingFile;
        return;
    }
    const PackageMeta &meta = stored.meta;
    if (meta.serialNumber)
        m_serialNumber = *meta.serialNumber;
    savedFrame = meta.winFrame;
    dividerPosition = meta.dividerPosition;
    // Only an unlocked note stays unlocked: any other stored mode would be a lock that no click
    // could change.
    if (meta.playbackMode)
        playbackMode = *meta.playbackMode == kUnlockedMode ? kUnlockedMode : kLockedMode;
    recordingControllerState = meta.recControllerState;
    m_openedFromRecoveryFile = meta.autorecovery;
    {
        // The note's own change of the text its view may show (a revert).
        const lq::DeliberateTextChange change;
        m_textStorage.setAttributedString(stored.text);
    }
    m_imageNumber = stored.imageNumber;
    const std::shared_ptr<WrenRecording> recordingObject = std::move(stored.recording);
    wireRecording(recordingObject);
    recordingObject->setURL(QUrl::fromLocalFile(path));
    repairCutOffRecordings(recordingObject->allRecordingFiles());
    if (!isInViewingMode())
        recordingObject->checkRecordingFiles();
}

void MyDocument::repairCutOffRecordings(const QStringList &paths)
{
    if (!m_movieRepair)
        return;
    for (const QString &path : paths) {
        // A link (a file imported by reference) names a file outside the package: never
        // rewritten from the package's say-so.
        const QFileInfo info(path);
        if (info.isSymLink() || !info.isFile())
            continue;
        lq::Error error;
        switch (m_movieRepair(path, &error)) {
        case RepairOutcome::Repaired:
            lq::log(QStringLiteral("Repaired %1, which was cut off while it was recorded.\n")
                        .arg(path));
            break;
        case RepairOutcome::Failed:
            lq::log(QStringLiteral("Could not repair %1: %2\n")
                        .arg(path, error.localizedDescription()));
            break;
        case RepairOutcome::NotNeeded:
            break;
        }
    }
}
