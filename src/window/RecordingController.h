#pragma once

#include "document/DocumentWindowController.h"
#include "model/RecordingWindowController.h"
#include "window/LQVideoViewController.h"
#include "window/TimeView.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

class DocumentWindow;
class MyDocument;
class PrefsController;
class SidebarSection;
class QAction;
class QCheckBox;
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
    void recordButtonPressed();
    void playButtonPressed();
    void pauseButtonPressed();
    void backButtonPressed();
    void ffButtonPressed();
    void rwButtonPressed();
    // Menu items of the View menu that this window answers for, by the action's object name.
    bool validateUserInterfaceItem(const QAction *item) const;
    // The controller of the note whose window (or one of its windows) window is; null for any
    // other window.
    static RecordingController *controllerOfWindow(const QWidget *window);

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
    void gotoSlide(uint32_t slide) override;
    void expandSlidesSection() override;
    void expandVideoSection() override;
    void playbackStopped() override;
    void close() override;
    void clockTimeChanged(lq::Date clockTime) override;
    void percentageDoneChanged(float percentage) override;
    void selectedPlaybackSpeedChanged(float speed) override;
    void sessionClockTimeChanged(WrenTimerSession *session, lq::Date clockTime) override;
    void audioLevelChanged(float decibels) override;

    // LQVideoViewController
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

    MyDocument &m_document;
    PrefsController &m_preferences;
    std::unique_ptr<DocumentWindow> m_window;
    DocumentWindowOutlets m_outlets;
    std::atomic<bool> m_recording{false};
    bool m_closed = false;
};
