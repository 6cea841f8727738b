#include "window/RecordingController.h"

#include "document/MyDocument.h"
#include "document/WrenTextView.h"
#include "model/WrenRecording.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UndoManager.h"
#include "platform/ui/ImageButton.h"
#include "preferences/PrefsController.h"
#include "window/DocumentWindow.h"
#include "window/LQUserInterfaceValidator.h"
#include "window/PdfView.h"
#include "window/PromotedWindow.h"
#include "window/SidebarSection.h"
#include "window/TimerBarSlider.h"

#include <QLabel>
#include <QScrollArea>
#include <QToolButton>

RecordingController::RecordingController(MyDocument &document)
    : RecordingController(document, PrefsController::sharedController())
{}

RecordingController::RecordingController(MyDocument &document, PrefsController &preferences)
    : m_document(document)
    , m_preferences(preferences)
    , m_window(std::make_unique<DocumentWindow>(document.textStorage()))
{
    m_noteCommands = &document;
    DocumentWindow &w = *m_window;
    m_outlets.window = &w;
    m_outlets.textView = w.textView;
    m_outlets.docView = w.docView;
    m_outlets.mainSplitView = w.mainSplitView;
    m_outlets.mediaSideBar = w.mediaSideBar;
    m_outlets.collapseButton = w.collapseButton;
    m_outlets.listButton = w.listButton;
    m_outlets.shareButton = w.shareButton;
    m_outlets.colorPicker = w.colorPicker;
    m_outlets.notesDateField = w.notesDateField;
    m_outlets.charCountField = w.charCountField;
    m_outlets.recLengthField = w.recLengthField;
    m_outlets.notesDateImageView = w.notesDateImageView;
    m_outlets.charCountImageView = w.charCountImageView;
    m_outlets.recImageView = w.recImageView;
    m_outlets.recordButton = w.recordButton;
    m_outlets.playButton = w.playButton;
    m_outlets.backButton = w.backButton;
    m_outlets.rwButton = w.rwButton;
    m_outlets.ffButton = w.ffButton;
    m_outlets.pauseButton = w.pauseButton;
    m_outlets.editLockView = w.editLockView;
    m_outlets.editLockButton = w.editLockButton;
    m_outlets.editLockText = w.editLockText;
    w.timeField->setController(this);
    showSpeed(document.recordingObject().selectedPlaybackSpeed());
    wireUserActions();
    buildPromotedWindows();
    wireSlidesAndMedia();
}

RecordingController::~RecordingController()
{
    lq::NotificationCenter::defaultCenter().removeObserver(static_cast<const void *>(this));
    if (lq::UndoManager *undo = m_document.undoManager())
        undo->removeAllActions(this);
    // The promoted windows go after this controller's other members: they must not call it.
    m_slidesWindow->disconnect(this);
    m_videoWindow->disconnect(this);
    removeZoomItems();
}

void RecordingController::windowControllerDidLoadNib()
{
    // Each set-up (a revert sets the window up again) is undone by the next close.
    m_closed = false;
    DocumentWindow &w = *m_window;
    for (SidebarSection *section : {w.audioSectionView, w.videoSectionView, w.slidesSectionView}) {
        section->setExpanded(false);
    }
    w.playhead->hide();
    w.timeField2->hide();
    if (m_preferences.shouldRecordAudio())
        setAudioState(1);
    if (m_preferences.shouldRecordVideo())
        setVideoState(1);
    lq::NotificationCenter &center = lq::NotificationCenter::defaultCenter();
    const void *owner = this;
    center.addObserver(
        owner, PrefsController::kDevicesChangedNotification, nullptr,
        [this](const lq::Notification &) { onGuiThread([this] { qtDevicesChanged(); }); });
    setRecord(Enabled, Disabled, Disabled, Disabled, Disabled, Disabled);
    center.addObserver(
        owner, PrefsController::kJumpBackTimeChangedNotification, nullptr,
        [this](const lq::Notification &) { onGuiThread([this] { jumpBackChanged(); }); });
}

void RecordingController::close()
{
    if (m_closed)
        return;
    m_closed = true;
    lq::NotificationCenter::defaultCenter().removeObserver(static_cast<const void *>(this));
    closePromotedWindows();
}

QAbstractButton *RecordingController::transportButton(TransportButton which)
{
    return ::transportButton(outlets(), which);
}

LQUserInterfaceValidator *RecordingController::recordingDoc()
{
    return dynamic_cast<LQUserInterfaceValidator *>(&m_document);
}

double RecordingController::recordingLength() const
{
    return m_document.recordingObject().length();
}

void RecordingController::onGuiThread(std::function<void()> work)
{
    if (lq::isMainThread())
        work();
    else
        lq::postToMainThread(this, std::move(work));
}
