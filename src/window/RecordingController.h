#pragma once

#include "document/DocumentWindowController.h"
#include "model/RecordingWindowController.h"
#include "window/LQVideoViewController.h"
#include "window/TimeView.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class DocumentWindow;
class MyDocument;
class PrefsController;
class SidebarSection;
class QAction;
class QCheckBox;
class NoteMediaCommands;
class PdfView;
class PromotedWindow;
class SlidesPages;
class QWidget;

// The controller of one note's window: it builds the window, shows what the recording object
// reports (clock, playhead, speed, input level), renders the transport buttons, turns the
// user's slider, speed and preview actions into calls on the recording object, and saves and
// restores the window's state. Observed values may arrive on any thread; every widget change
// happens on the GUI thread.
class RecordingController final : public QObject,
                                  public DocumentWindowController,
                                  public RecordingWindowController,
                                  public LQVideoViewController,
                                  public TimeViewController
{
    Q_OBJECT
public:
    // A button's state: leave it, disabled, enabled, or enabled and active.
    enum ButtonCode { Leave = -1, Disabled = 0, Enabled = 1, Active = 2 };

    // The window's widgets are built here and not shown.
    explicit RecordingController(MyDocument &document);
    RecordingController(MyDocument &document, PrefsController &preferences);
    ~RecordingController() override;

    // The note whose window this is (not owned: the document owns this controller).
    MyDocument &document() const { return m_document; }
    DocumentWindow &window() const { return *m_window; }

    // Whether a recording runs, as far as the window knows; the transport sets it when a
    // recording starts and stops. While it is set, every clock change marks the note changed.
    bool recording() const { return m_recording.load(); }
    void setRecording(bool recording) { m_recording.store(recording); }

    // Transport
    void setRecord(int record, int back, int play, int ff, int rw, int pause);
    // Retitles the item titled from of the main menu's "Recording" menu to to.
    static void setRecordingButton(const QString &from, const QString &to);
    void jumpBackChanged();
    // Shows a speed on the slider and in the speed field.
    void showSpeed(float speed);
    float speedSlideCurrentValue() const;

    // The buttons' actions (connected to their clicks; the menus click the buttons).
    void recordButtonPressed() override;
    void playButtonPressed();
    void pauseButtonPressed();
    void backButtonPressed();
    void ffButtonPressed();
    void rwButtonPressed();
    // Menu items of the View menu that this window answers for, by the action's object name.
    bool validateUserInterfaceItem(const QAction *item) const;

    // Media check boxes (0 off, 1 on, -1 mixed): set the box and act as if the user had.
    void setAudioState(int state);
    void setVideoState(int state);
    void qtDevicesChanged();

    // DocumentWindowController
    const DocumentWindowOutlets &outlets() const override { return m_outlets; }
    RecordingWindowController &recordingWindowController() override { return *this; }
    void windowControllerDidLoadNib() override;
    lq::ArchiveDictionary currentState() const override;
    lq::ArchiveDictionary currentStateForDefault() const override;
    void setState(const lq::ArchiveDictionary &state) override;
    void addPath(const QString &path) override;

    // RecordingWindowController
    void stopRecording() override;
    void setRecordingExists() override;
    void setRecordingGone() override;
    void setSlidesPath(const QString &path) override;
    void removeSlidesFile() override;
    void gotoSlide(uint32_t slide, bool recordUndo) override;
    void setVideoView(QWidget *view) override;
    void expandSlidesSection() override;
    void expandVideoSection() override;
    void playbackStopped() override;
    void close() override;
    void enterFullScreen() override { closePromotedWindows(); }
    void clockTimeChanged(lq::Date clockTime) override;
    void percentageDoneChanged(float percentage) override;
    void selectedPlaybackSpeedChanged(float speed) override;
    void sessionClockTimeChanged(WrenTimerSession *session, lq::Date clockTime) override;
    void audioLevelChanged(float decibels) override;

    // Slides (any thread may read the path and the slide shown)
    QString slidesPath() const;
    uint32_t slideNum() const { return m_slideNum.load(); }
    // Shows slide n (from 1), loading the slides on first use; with recordUndo the change can be
    // undone. False when there are no slides, n is shown already or out of range, or the slides
    // cannot be read. On another thread the change is posted to the GUI thread (answering false).
    bool showSlide(uint32_t n, bool recordUndo = true);
    // The user's own turn to slide n: shown as showSlide does, then told to the note, which
    // stamps it while recording. False when the slide was not shown.
    bool chooseSlide(uint32_t n);
    void prevSlideButtonPressed();
    void nextSlideButtonPressed();
    void slideNumFieldChanged();
    // The user paged view to page (from 0).
    void slideChanged(PdfView *view, int page);
    void addSlides(const QString &path) override;
    // Not owned; null until the note installs them.
    // The note answers unless a test installs others.
    void setNoteCommands(NoteMediaCommands *commands) { m_noteCommands = commands; }

    // Media sections
    void expandAudioSection();
    void audioDisclosurePressed(bool on);
    void videoDisclosurePressed(bool on);
    void slidesDisclosurePressed(bool on);
    // Places the video view in the sidebar, or in the video window when it is shown or the video
    // section is shut; null empties the sidebar's video area.
    void setVideoView(QWidget *view, bool closing);

    // Promoted windows
    PromotedWindow &slidesWindow() const { return *m_slidesWindow; }
    PromotedWindow &videoWindow() const { return *m_videoWindow; }
    PdfView &slidesPDFView() const { return *m_slidesPDFView; }
    int slidesZoomLevel() const { return m_slidesZoomLevel; }
    void moveVideoToWindowAndShow(bool show);
    void promoteSlidesToWindow();
    void slidesMenuItemSelected();
    void videoMenuItemSelected();
    void windowKeyChanged(PromotedWindow *window, bool key);
    void windowClosing(PromotedWindow *window);
    void zoomSlidesIn();
    void zoomSlidesOut();
    void zoomVideoIn();
    void zoomVideoOut();
    void zoomVideoNatural();
    // The controller of the note whose window (its own or a promoted one) holds widget, or of the
    // active window when widget is null; null for any other window.
    static RecordingController *controllerOfWindow(QWidget *widget);

    // LQVideoViewController
    void QTMiniViewDoubleClicked() override { moveVideoToWindowAndShow(true); }
    void pdfMiniViewDoubleClicked() override { promoteSlidesToWindow(); }
    QAbstractButton *transportButton(TransportButton which) override;
    LQUserInterfaceValidator *recordingDoc() override;

    // TimeViewController: the note's whole recorded length in seconds.
    double recordingLength() const override;

private:
    void wireUserActions();
    // Runs work now on the GUI thread, else posts it there (dropped if this controller goes).
    void onGuiThread(std::function<void()> work);
    void showClockTime(lq::Date clockTime);
    void updateChangeCount();
    void renderBackButton(int code);
    void setMeterEnabled(bool enabled);
    // The media check boxes' actions: the section follows its box unless the user default
    // autoExpandKey is set to false.
    void mediaCheckBoxPressed(QCheckBox &box, SidebarSection &section,
                              const QString &autoExpandKey);
    // User actions
    void playheadMoved(double percentage);
    void speedSlideMoved();
    void speedMinusPressed();
    void speedPlusPressed();
    void speedTextEntered();
    void audioPreviewCheckBoxPressed();
    void videoPreviewCheckBoxPressed();
    void setSelectedPlaybackSpeed(double speed);

    // Slides and media panes
    void wireSlidesAndMedia();
    bool loadSlides(const QString &path);
    void displaySlide(uint32_t n);
    void enableSlideButtons(bool previous, bool next);
    void tellNoteOfSlide();
    // Promoted windows
    void buildPromotedWindows();
    void closePromotedWindows();
    void addZoomItems(PromotedWindow *window);
    void removeZoomItems();
    void zoomIn(PromotedWindow &window, bool slides);
    void zoomOut(PromotedWindow &window, bool slides);

    MyDocument &m_document;
    PrefsController &m_preferences;
    std::unique_ptr<DocumentWindow> m_window;
    DocumentWindowOutlets m_outlets;
    std::atomic<bool> m_recording{false};
    bool m_closed = false;

    // Slides and media panes
    mutable std::mutex m_slidesPathMutex;
    QString m_slidesPath;
    // Serialises slide changes; recursive because a modal alert may let a change start again.
    std::recursive_mutex m_slidesMutex;
    std::atomic<uint32_t> m_slideNum{0};
    std::shared_ptr<SlidesPages> m_pdfDoc;
    bool m_slidesAlertShowing = false;
    NoteMediaCommands *m_noteCommands = nullptr;
    // Promoted windows
    std::unique_ptr<PromotedWindow> m_slidesWindow;
    std::unique_ptr<PromotedWindow> m_videoWindow;
    PdfView *m_slidesPDFView = nullptr;
    int m_slidesZoomLevel = 0;
    QList<QPointer<QAction>> m_zoomItems;
};
