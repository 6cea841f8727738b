#include "document/LQSharingController.h"
#include "document/MyDocument.h"
#include "model/WrenRecording.h"

void MyDocument::openExportWebDialog()
{
    // The export reads the media being written and saves a copy of the note: never while
    // recording or playing.
    if (!shareable())
        return;
    LQSharingController &sharing = LQSharingController::sharedSharingController();
    sharing.setCurrentDoc(this);
    sharing.setAudioPossible(recordingObject().hasAudio());
    sharing.setVideoPossible(recordingObject().hasVideo());
    sharing.setSlidesPossible(recordingObject().hasSlides());
    sharing.showPrefsWindowIfNecessary();
    sharing.setCurrentDoc(nullptr);
}
