#pragma once

#include "document/WrenTextViewDelegate.h"
#include "platform/foundation/ArchiveValue.h"

class BMColorPicker;
class QAbstractButton;
class QLabel;
class QMainWindow;
class QSplitter;
class QWidget;
class RecordingWindowController;
class WrenTextView;

// The widgets of a note's window that its document sets up and fills. The window layer builds
// them; the document never creates or deletes them.
struct DocumentWindowOutlets
{
    QMainWindow *window = nullptr;
    WrenTextView *textView = nullptr;
    // The text area beside the media sidebar; its width is the divider position.
    QWidget *docView = nullptr;
    // Text area (widget 0) and media sidebar (widget 1).
    QSplitter *mainSplitView = nullptr;
    QWidget *mediaSideBar = nullptr;
    QAbstractButton *collapseButton = nullptr;
    // The Quick List button: its image and tool tip follow the list state at the selection.
    QAbstractButton *listButton = nullptr;
    QAbstractButton *shareButton = nullptr;
    // The highlighter tool.
    BMColorPicker *colorPicker = nullptr;
    // The information bar at the foot of the window: three texts, each after its icon.
    QLabel *notesDateField = nullptr;
    QLabel *charCountField = nullptr;
    QLabel *recLengthField = nullptr;
    QLabel *notesDateImageView = nullptr;
    QLabel *charCountImageView = nullptr;
    QLabel *recImageView = nullptr;
    // The transport buttons that the menus click (the slide buttons may be absent).
    QAbstractButton *recordButton = nullptr;
    QAbstractButton *playButton = nullptr;
    QAbstractButton *backButton = nullptr;
    QAbstractButton *rwButton = nullptr;
    QAbstractButton *ffButton = nullptr;
    QAbstractButton *pauseButton = nullptr;
    QAbstractButton *prevSlideButton = nullptr;
    QAbstractButton *nextSlideButton = nullptr;
    // The edit lock strip above the text, hidden until playback: the lock and its caption.
    QWidget *editLockView = nullptr;
    QAbstractButton *editLockButton = nullptr;
    QAbstractButton *editLockText = nullptr;
};

// The buttons of a note's window that menus and other windows press.
enum class TransportButton {
    Record,
    Play,
    Back,
    Rewind,
    FastForward,
    Pause,
    PreviousSlide,
    NextSlide,
};

// The widget of that button; null where the window has none.
QAbstractButton *transportButton(const DocumentWindowOutlets &outlets, TransportButton which);

// A note's window controller as its document sees it (the window layer's recording controller).
// Dropped slides and media files reach it through addPath.
class DocumentWindowController : public WrenTextViewController
{
public:
    virtual const DocumentWindowOutlets &outlets() const = 0;
    // What the recording object drives (loadController).
    virtual RecordingWindowController &recordingWindowController() = 0;
    // Set-up once the document has set up its part of the window.
    virtual void windowControllerDidLoadNib() = 0;
    virtual void close() = 0;
    // Starts or stops a recording as the Record button does.
    virtual void recordButtonPressed() = 0;
    // The window goes full screen: the promoted windows close.
    virtual void enterFullScreen() = 0;
    // Adds a slides file to the note; other files are refused with an alert.
    virtual void addSlides(const QString &path) = 0;
    // The state stored with a note, and the part of it kept as the default for new windows.
    virtual lq::ArchiveDictionary currentState() const = 0;
    virtual lq::ArchiveDictionary currentStateForDefault() const = 0;
    virtual void setState(const lq::ArchiveDictionary &state) = 0;
};
