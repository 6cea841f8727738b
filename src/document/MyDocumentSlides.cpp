// The note's slides commands: adding a PDF to the recording, removing the slides and forgetting
// the slide changes.
#include "document/BMProgressController.h"
#include "document/DocumentWindowController.h"
#include "document/MyDocument.h"
#include "model/WrenRecording.h"
#include "model/WrenSlides.h"
#include "platform/ui/AlertPresenter.h"

#include <QMainWindow>
#include <QWidget>

namespace {

// The buttons of the question, in the order shown: Replace is the default button, Append the
// alternate one and Insert the other one.
enum SlidesAnswer { kReplaceAnswer = 0, kAppendAnswer = 1, kInsertAnswer = 2 };

} // namespace

int MyDocument::slidesModeForAnswer(int buttonIndex)
{
    switch (buttonIndex) {
    case kAppendAnswer:
        return WrenSlides::kAppendMode;
    case kInsertAnswer:
        return WrenSlides::kInsertInFrontMode;
    case kReplaceAnswer:
    default:
        return WrenSlides::kReplaceMode;
    }
}

void MyDocument::addSlides(const QString &path)
{
    WrenRecording &r = *m_recordingObject;
    int mode = WrenSlides::kReplaceMode;
    if (r.hasSlides()) {
        lq::AlertRequest question;
        question.messageText =
            tr("Would you like to replace the current slides, append to the end of them, or "
               "insert the new slides at the beginning?");
        question.buttons = {tr("Replace"), tr("Append"), tr("Insert")};
        mode = slidesModeForAnswer(lq::AlertPresenter::current().runModal(question).buttonIndex);
    }

    const std::unique_ptr<BMProgressController> progress =
        BMProgressController::create(tr("Adding Slides"), tr("Adding slides..."));
    // Shown on the screen of the note's window.
    if (m_windowController && m_windowController->outlets().window)
        progress->progressWindow()->setScreen(m_windowController->outlets().window->screen());
    progress->show();
    const bool added = r.addSlides(path, mode);
    progress->hide();
    if (added)
        return;

    lq::AlertRequest failure;
    failure.messageText = tr("Error adding slides file %1.").arg(path);
    failure.informativeText =
        tr("Please make sure QuickLook can display the file through Finder, restart Luma Quill, "
           "and try again. Also, remember that only valid Keynote, Powerpoint, or PDF files may "
           "be added.");
    failure.buttons = {tr("OK")};
    lq::AlertPresenter::current().runModal(failure);
}

void MyDocument::removeSlides()
{
    m_recordingObject->removeSlides();
}

void MyDocument::forgetAllSlideChanges()
{
    m_recordingObject->removeAllSlidesEvents();
}
