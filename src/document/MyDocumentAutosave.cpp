// When the note takes part in the periodic autosave, and when it declines.
#include "document/MyDocument.h"
#include "model/WrenRecording.h"
#include "platform/foundation/UserDefaults.h"

void MyDocument::autosaveWithImplicitCancellability(bool implicitlyCancellable, AutosaveDone done)
{
    // A save the user aborted (files were missing) keeps refusing until a save succeeds.
    const lq::Error aborted = failedSaveAborted();
    if (!aborted.isNull()) {
        done(false, aborted);
        return;
    }
    if (lq::UserDefaults::standard().boolForKey(QStringLiteral("noAutoRecovery")) ||
        m_recordingObject->merging() || isClosed()) {
        done(false, lq::Error());
        return;
    }
    currentlyAutosaving = true;
    Document::autosaveWithImplicitCancellability(
        implicitlyCancellable, [this, done = std::move(done)](bool saved, const lq::Error &error) {
            currentlyAutosaving = false;
            done(saved, error);
        });
}
