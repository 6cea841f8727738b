// The note's transport and slide commands, as the window's buttons and the menus call them.
#include "document/BMProgressController.h"
#include "document/DocumentWindowController.h"
#include "document/MyDocument.h"
#include "model/WrenRecording.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/AlertPresenter.h"
#include "platform/ui/Beeper.h"
#include "platform/ui/FilePanel.h"
#include "platform/ui/PanelPresenter.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFileInfo>

#include <optional>

bool MyDocument::startRecording(bool audio, bool video)
{
    if (!m_recordingObject->startSession(audio, video))
        return false;
    recording = true;
    setShareable(false);
    updateInfoBar();
    return true;
}

bool MyDocument::stopRecording()
{
    bool stopped = false;
    if (recording) {
        // Off the main thread nothing is shown: widgets belong to the GUI thread.
        std::unique_ptr<BMProgressController> progress;
        if (lq::isMainThread()) {
            progress = BMProgressController::create(tr("Finishing recording"),
                                                    tr("Finishing recording..."));
            progress->show();
        }
        stopped = m_recordingObject->stopSession();
        if (stopped) {
            recording = false;
            // Saved by the regular autosave. Posted from another thread, which the main thread
            // may be waiting for.
            const auto done = [this] {
                setShareable(true);
                updateChangeCount(ChangeKind::Done);
            };
            if (lq::isMainThread())
                done();
            else
                lq::postToMainThread(this, done);
        }
        if (progress)
            progress->hide();
    }
    lq::postToMainThread(this, [this] { updateInfoBarHelper(); });
    return stopped;
}

bool MyDocument::startPlaying()
{
    showEditLockView();
    resetHighlightForCharacter(0);
    if (!m_recordingObject->startPlayback()) {
        // Every mark goes, even in a word at the very start of the text.
        hideEditLockView();
        resetHighlightForCharacter(std::nullopt);
        return false;
    }
    // Where playback starts (the start, when it starts over), the word being typed is marked
    // already.
    if (const std::optional<uint32_t> last = m_recordingObject->lastCharBeforeNow()) {
        for (qsizetype i = wordForChar(qsizetype(*last)).location; i < qsizetype(*last); ++i)
            highlightChar(i, true);
    }
    if (playbackMode == kLockedMode)
        setEditable(false);
    setShareable(false);
    playing = true;
    return true;
}

bool MyDocument::pausePlaying()
{
    return playing && m_recordingObject->stopPlayback();
}

int MyDocument::toggleFF()
{
    return playing ? m_recordingObject->toggleFF() : 0;
}

int MyDocument::toggleRW()
{
    return playing ? m_recordingObject->toggleRW() : 0;
}

void MyDocument::gotoSlide(uint32_t slide)
{
    WrenRecording &r = *m_recordingObject;
    if (!playing) {
        if (recording)
            r.recordSlideEventForSlide(slide);
        else
            r.jumpToSlide(slide);
        return;
    }
    // During playback the edit lock decides: locked playback follows the slide, unlocked
    // playback (and a recording) stamps it.
    if (playbackMode == kLockedMode)
        r.jumpToSlide(slide);
    else if (recording || playbackMode == kUnlockedMode)
        r.recordSlideEventForSlide(slide);
}

void MyDocument::importMediaFromFile(const QString &path)
{
    // A new session in front of a running one, or a player taken from a running playback, would
    // put the stamps out of step.
    if (recording || playing) {
        lq::log(QStringLiteral("Not importing %1 while the note records or plays.\n").arg(path));
        lq::Beeper::current().beep();
        return;
    }
    m_recordingObject->importMediaFromFile(path);
    updateInfoBar();
}

void MyDocument::trimRecordingFromNow()
{
    if (recording || playing)
        return;
    lq::UserDefaults &defaults = lq::UserDefaults::standard();
    const QString withoutWarning = QStringLiteral("cropWithoutWarning");
    if (!defaults.boolForKey(withoutWarning)) {
        lq::AlertRequest warning;
        warning.messageText = tr("Crop recording?");
        warning.informativeText =
            tr("This will delete everything recorded past the current position of the playhead. "
               "This can be helpful if you forget to stop recording, but be careful not to "
               "delete anything you might need.");
        warning.buttons = {tr("OK"), tr("Cancel")};
        warning.showsSuppressionButton = true;
        const lq::AlertResponse answer = lq::AlertPresenter::current().runModal(warning);
        if (answer.buttonIndex != 0)
            return;
        if (answer.suppressed)
            defaults.setBool(withoutWarning, true);
    }
    // The event loop turns while media are cut: nothing else may reach the note meanwhile.
    const std::unique_ptr<BMProgressController> progress =
        BMProgressController::create(tr("Cropping Recording"), tr("Cropping recording..."));
    progress->progressWindow()->setWindowModality(Qt::ApplicationModal);
    progress->show();
    const bool cropped = m_recordingObject->trimFromNow();
    progress->hide();
    if (!cropped) {
        lq::AlertRequest failure;
        failure.messageText = tr("Error cropping recording");
        failure.buttons = {tr("OK")};
        lq::AlertPresenter::current().runModal(failure);
    }
    updateInfoBar();
}

namespace {

std::optional<QString> chooseFile(const QString &title, const QString &message)
{
    lq::FilePanel panel(lq::FilePanel::Kind::Open);
    panel.setTitle(title);
    panel.setMessage(message);
    return lq::PanelPresenter::current().runModal(panel);
}

} // namespace

void MyDocument::openAddSlidesDialog()
{
    const std::optional<QString> path =
        chooseFile(tr("Add Slides"),
                   tr("Select the PDF, Keynote, or PowerPoint file you want to add as slides"));
    if (path && m_windowController)
        m_windowController->addSlides(*path);
}

void MyDocument::openImportMediaDialog()
{
    const std::optional<QString> path =
        chooseFile(tr("Import Audio/Video"), tr("Select the audio or video file to import"));
    if (path)
        importMediaFromFile(*path);
}

QAbstractButton *MyDocument::transportButton(TransportButton which) const
{
    return m_windowController ? ::transportButton(m_windowController->outlets(), which) : nullptr;
}

void MyDocument::pressButton(TransportButton which)
{
    // A disabled button ignores the click.
    if (QAbstractButton *button = transportButton(which))
        button->click();
}
