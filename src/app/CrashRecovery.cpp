#include "app/CrashRecovery.h"

#include "app/LeftoverRecordings.h"
#include "app/LumaDocumentController.h"
#include "document/BMProgressController.h"
#include "document/InformationBar.h"
#include "document/MyDocument.h"
#include "model/WrenRecording.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AlertPresenter.h"
#include "shared/AppFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace crash_recovery {

namespace {

enum RecordingAnswer { kOpen = 0, kDiscard = 1 };

QString text(const char *sourceText)
{
    return QCoreApplication::translate("CrashRecovery", sourceText);
}

void tell(const QString &message, const QString &informative)
{
    lq::AlertRequest alert;
    alert.messageText = message;
    alert.informativeText = informative;
    lq::AlertPresenter::current().runModal(alert);
}

void reopenAutosavedNotes(LumaDocumentController &documents, const QStringList &inUse)
{
    const QDir folder(lq::Document::autosaveFolder());
    const QStringList pattern{QStringLiteral("*.") + QLatin1String(MyDocument::kFileExtension)};
    for (const QFileInfo &package :
         folder.entryInfoList(pattern, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString path = package.absoluteFilePath();
        const bool heldByRunningNote =
            std::any_of(inUse.begin(), inUse.end(), [&](const auto &used) {
                return QFileInfo(used).absoluteFilePath() == path;
            });
        if (heldByRunningNote)
            continue;
        lq::Error error;
        if (documents.reopenAutosavedNote(path, &error) || error.code() == 3072)
            continue;
        tell(text("The note “%1” that Luma Quill kept when it last ended cannot be opened.")
                 .arg(package.completeBaseName()),
             text("%1 It stays in “%2”.").arg(error.localizedDescription(), folder.path()));
    }
}

bool askToOpen(const LeftoverRecording &left)
{
    const QLocale locale;
    lq::AlertRequest question;
    question.messageText = text("Luma Quill found a recording that was not saved.");
    question.informativeText =
        text("It was recorded on %1 at %2 and lasts %3. Open puts it into a new note; Discard "
             "deletes it for good.")
            .arg(information_bar::longDate(left.began.date(), locale),
                 locale.toString(left.began.time(), QLocale::ShortFormat),
                 information_bar::duration(left.length));
    question.buttons = {text("Open"), text("Discard")};
    return lq::AlertPresenter::current().runModal(question).buttonIndex == kOpen;
}

// Imports each medium as a session of a new untitled note; false, after an alert, when one fails.
bool openInNewNote(LumaDocumentController &documents, const LeftoverRecording &left)
{
    MyDocument *note = documents.openUntitledDocumentAndDisplay(true);
    if (!note)
        return false; // the note has told the user why
    const std::unique_ptr<BMProgressController> progress = BMProgressController::create(
        text("Opening the recording"), text("Opening the recording that was not saved..."));
    progress->show();
    WrenRecording &recording = note->recordingObject();
    for (const ImportedMovie &movie : left.media) {
        lq::Error error;
        if (!recording.insertMedia(movie, recording.sessionCount(), false, &error)) {
            progress->hide();
            tell(text("Luma Quill could not open all of the recording that was not saved."),
                 text("%1 The recording stays in “%2” and is offered again at the next start.")
                     .arg(error.localizedDescription(), left.claim->folder()));
            return false;
        }
    }
    return true;
}

} // namespace

void offerWhatWasLeft(LumaDocumentController &documents)
{
    const std::optional<QString> cache = appCachePath();
    LeftoverRecordings leftovers = cache ? LeftoverRecordings::find(*cache) : LeftoverRecordings();
    reopenAutosavedNotes(documents, leftovers.packagesInUse);
    for (LeftoverRecording &left : leftovers.recordings) {
        if (askToOpen(left) && !openInNewNote(documents, left))
            continue;
        const QString folder = left.claim->folder();
        if (!QDir(folder).removeRecursively())
            lq::log(QStringLiteral("Could not remove the temporary folder %1.\n").arg(folder));
    }
}

} // namespace crash_recovery
