#pragma once

#include <QMainWindow>

class AspectPane;
class AudioMeter;
class BMColorPicker;
class DragFileView;
class PDFMiniView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QScrollArea;
class QSplitter;
class QToolButton;
class SidebarSection;
class SpeedSlider;
class TimeView;
class TimerBarBack;
class TimerBarSlider;
class WrenTextView;

namespace lq {
class ImageButton;
class TextStorage;
} // namespace lq

// A note's window, laid out in code: the transport toolbar (buttons, playhead strip with the
// elapsed and remaining time, speed controls), the notes text beside the media sidebar, and the
// information bar at the foot. It only builds and holds its widgets; its controller fills them
// and reacts to them.
class DocumentWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit DocumentWindow(lq::TextStorage &storage, QWidget *parent = nullptr);

    // Toolbar
    lq::ImageButton *recordButton = nullptr;
    lq::ImageButton *backButton = nullptr;
    lq::ImageButton *rwButton = nullptr;
    lq::ImageButton *playButton = nullptr;
    lq::ImageButton *pauseButton = nullptr;
    lq::ImageButton *ffButton = nullptr;
    TimerBarBack *timerStrip = nullptr;
    TimerBarSlider *playhead = nullptr;
    TimeView *timeField = nullptr;
    QLabel *timeFieldCaption = nullptr;
    QLabel *timeField2 = nullptr;
    QToolButton *speedMinusButton = nullptr;
    SpeedSlider *speedSlide = nullptr;
    QToolButton *speedPlusButton = nullptr;
    QLineEdit *speedTextField = nullptr;
    QToolButton *shareButton = nullptr;
    BMColorPicker *colorPicker = nullptr;

    // Text and sidebar
    QSplitter *mainSplitView = nullptr;
    QWidget *docView = nullptr;
    WrenTextView *textView = nullptr;
    // The edit lock strip above the text (hidden until playback): the lock and its caption.
    QWidget *editLockView = nullptr;
    QToolButton *editLockButton = nullptr;
    QToolButton *editLockText = nullptr;
    QScrollArea *mediaSideBar = nullptr;
    SidebarSection *audioSectionView = nullptr;
    SidebarSection *videoSectionView = nullptr;
    SidebarSection *slidesSectionView = nullptr;
    QCheckBox *audioCheckBox = nullptr;
    QCheckBox *videoCheckBox = nullptr;
    QCheckBox *audioPreviewCheckBox = nullptr;
    QCheckBox *videoPreviewCheckBox = nullptr;
    AudioMeter *audioMeter = nullptr;
    // Where the video and slides panes go.
    QWidget *videoDisplayView = nullptr;
    QWidget *slidesDisplayView = nullptr;
    // The slides pane: the slide, its navigation and the slide-number entry.
    AspectPane *slidesPane = nullptr;
    // Behind the slide, seen while there is none: takes a dropped slides or media file.
    DragFileView *slidesDropTarget = nullptr;
    PDFMiniView *slidesPDFMiniView = nullptr;
    lq::ImageButton *prevSlideButton = nullptr;
    lq::ImageButton *nextSlideButton = nullptr;
    QLineEdit *slideNumField = nullptr;
    QLabel *totalSlidesField = nullptr;

    // Information bar
    QToolButton *listButton = nullptr;
    QToolButton *collapseButton = nullptr;
    QLabel *notesDateField = nullptr;
    QLabel *charCountField = nullptr;
    QLabel *recLengthField = nullptr;
    QLabel *notesDateImageView = nullptr;
    QLabel *charCountImageView = nullptr;
    QLabel *recImageView = nullptr;

private:
    QWidget *buildTransport();
    QWidget *buildTimeStrip();
    QWidget *buildSpeedControls();
    QWidget *buildSidebar();
    QWidget *buildSlidesPane();
    QWidget *buildInformationBar();
    QWidget *buildEditLockStrip();
};
