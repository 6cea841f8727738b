// The transport buttons, the playhead, the speed controls and the input previews.
#include "document/MyDocument.h"
#include "model/WrenRecording.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/ImageButton.h"
#include "platform/ui/MainMenu.h"
#include "window/AudioMeter.h"
#include "window/DocumentWindow.h"
#include "window/PromotedWindow.h"
#include "window/RecordingController.h"
#include "window/TimerBarSlider.h"

#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QToolButton>

#include <cmath>

namespace {

const QString kJumpBackTimeKey = QStringLiteral("defaultJumpBackTime");
constexpr int64_t kStandardJumpBack = 30;

// A transport button's image family and tool tips; no active tip: the button has no state 2.
struct ButtonLook
{
    const char *image;
    const char *toolTip;
    const char *activeToolTip;
};

constexpr ButtonLook kRecordLook{
    "LUMArecord", QT_TRANSLATE_NOOP("RecordingController", "Record - Ctrl+Alt+R"),
    QT_TRANSLATE_NOOP("RecordingController", "Stop Recording - Ctrl+Alt+R")};
constexpr ButtonLook kPlayLook{
    "LUMAplay", QT_TRANSLATE_NOOP("RecordingController", "Play - Ctrl+Alt+P"),
    QT_TRANSLATE_NOOP("RecordingController", "Stop Playing - Ctrl+Alt+P")};
constexpr ButtonLook kBackLook{
    "LUMAreplay", QT_TRANSLATE_NOOP("RecordingController", "Back - Ctrl+Alt+B"), nullptr};
constexpr ButtonLook kBareBackLook{"LUMAreplay-bare", kBackLook.toolTip, nullptr};
constexpr ButtonLook kFastForwardLook{
    "LUMAfast_forward", QT_TRANSLATE_NOOP("RecordingController", "Fast Forward - Ctrl+Alt+Right"),
    QT_TRANSLATE_NOOP("RecordingController", "Stop Fast Forwarding - Ctrl+Alt+Right")};
constexpr ButtonLook kRewindLook{
    "LUMArewind", QT_TRANSLATE_NOOP("RecordingController", "Rewind - Ctrl+Alt+Left"),
    QT_TRANSLATE_NOOP("RecordingController", "Stop Rewinding - Ctrl+Alt+Left")};
constexpr ButtonLook kPauseLook{
    "LUMApause", QT_TRANSLATE_NOOP("RecordingController", "Pause - Ctrl+Alt+S"), nullptr};

QString translated(const char *text)
{
    return QCoreApplication::translate("RecordingController", text);
}

// Renders code 0, 1 or 2 (2 only for a look with an active tip); answers whether it did.
bool renderButton(lq::ImageButton &button, int code, const ButtonLook &look,
                  bool withAlternate = false)
{
    const QString image = QString::fromLatin1(look.image);
    const QString alternate = withAlternate ? image + QStringLiteral("-active") : QString();
    switch (code) {
    case RecordingController::Disabled:
        button.setEnabled(false);
        button.setImages(image + QStringLiteral("-disabled"), alternate);
        button.setToolTip(QString());
        return true;
    case RecordingController::Enabled:
        button.setEnabled(true);
        button.setImages(image, alternate);
        button.setToolTip(translated(look.toolTip));
        return true;
    case RecordingController::Active:
        if (!look.activeToolTip)
            return false;
        button.setEnabled(true);
        button.setImages(image + QStringLiteral("-active"));
        button.setToolTip(translated(look.activeToolTip));
        return true;
    default:
        return false;
    }
}

// The main menu's item for a transport button follows its state.
void retitleMenuItem(int code, const QString &start, const QString &stop)
{
    if (code == RecordingController::Active)
        RecordingController::setRecordingButton(start, stop);
    else
        RecordingController::setRecordingButton(stop, start);
}

// The speed as the field shows it: up to three significant digits ("1", "0.9", "1.26").
QString speedText(double speed)
{
    return QLocale().toString(speed, 'g', 3);
}

} // namespace

void RecordingController::setRecord(int record, int back, int play, int ff, int rw, int pause)
{
    DocumentWindow &w = *m_window;
    if (renderButton(*w.recordButton, record, kRecordLook))
        retitleMenuItem(record, tr("Start Recording"), tr("Stop Recording"));
    if (renderButton(*w.playButton, play, kPlayLook)) {
        retitleMenuItem(play, tr("Start Playback"), tr("Stop Playback"));
        w.playhead->setLit(play == Active);
    }
    renderBackButton(back);
    renderButton(*w.ffButton, ff, kFastForwardLook);
    renderButton(*w.rwButton, rw, kRewindLook);
    renderButton(*w.pauseButton, pause, kPauseLook);
}

void RecordingController::renderBackButton(int code)
{
    lq::ImageButton &button = *m_window->backButton;
    const lq::UserDefaults &defaults = lq::UserDefaults::standard();
    const bool bare = defaults.contains(kJumpBackTimeKey) &&
                      defaults.integerForKey(kJumpBackTimeKey) != kStandardJumpBack;
    if (code == Leave)
        code = button.isEnabled() ? Enabled : Disabled;
    if (code == Enabled || code == Disabled)
        renderButton(button, code, bare ? kBareBackLook : kBackLook, true);
}

void RecordingController::setRecordingButton(const QString &from, const QString &to)
{
    lq::MainMenu *mainMenu = lq::MainMenu::current();
    QMenu *menu = mainMenu ? mainMenu->menuTitled(QStringLiteral("Recording")) : nullptr;
    if (!menu || from.isEmpty() || to.isEmpty())
        return;
    for (QAction *item : menu->actions()) {
        if (lq::MainMenu::plainTitle(item->text()) == from) {
            item->setText(to);
            return;
        }
    }
}

void RecordingController::jumpBackChanged()
{
    setRecord(Leave, Leave, Leave, Leave, Leave, Leave);
}

void RecordingController::setRecordingExists()
{
    onGuiThread([this] {
        setRecord(Leave, Leave, Enabled, Leave, Leave, Leave);
        m_window->playhead->show();
        m_window->timeField2->show();
    });
}

void RecordingController::setRecordingGone()
{
    onGuiThread([this] {
        setRecord(Leave, Leave, Disabled, Leave, Leave, Leave);
        m_window->playhead->hide();
        m_window->timeField2->hide();
    });
}

void RecordingController::recordButtonPressed()
{
    if (m_recording) {
        stopRecording();
        return;
    }
    DocumentWindow &w = *m_window;
    const bool audio = w.audioCheckBox->checkState() == Qt::Checked;
    const bool video = w.videoCheckBox->checkState() == Qt::Checked;
    if (!m_document.startRecording(audio, video))
        return;
    setRecord(Active, Disabled, Disabled, Disabled, Disabled, Enabled);
    w.playhead->hide();
    w.timeField2->hide();
    setMeterEnabled(audio);
    for (QCheckBox *box :
         {w.audioCheckBox, w.videoCheckBox, w.audioPreviewCheckBox, w.videoPreviewCheckBox})
        box->setEnabled(false);
    m_recording = true;
    // The slide on screen is where the new session starts.
    if (m_slideNum.load() != 0)
        tellNoteOfSlide();
}

void RecordingController::stopRecording()
{
    // Any thread: the note stops on the caller's thread, the window follows on the GUI thread.
    if (!m_document.stopRecording())
        return;
    m_recording = false;
    onGuiThread([this] {
        DocumentWindow &w = *m_window;
        setRecord(Enabled, Disabled, Enabled, Disabled, Disabled, Disabled);
        w.playhead->show();
        w.timeField2->show();
        setMeterEnabled(w.audioPreviewCheckBox->checkState() == Qt::Checked);
        for (QCheckBox *box :
             {w.audioCheckBox, w.videoCheckBox, w.audioPreviewCheckBox, w.videoPreviewCheckBox})
            box->setEnabled(true);
    });
}

void RecordingController::playButtonPressed()
{
    // A pause changes the buttons once the recording object reports that playback stopped.
    if (m_document.playing) {
        m_document.pausePlaying();
        return;
    }
    if (!m_document.startPlaying())
        return;
    DocumentWindow &w = *m_window;
    setRecord(Disabled, Enabled, Active, Enabled, Enabled, Enabled);
    WrenRecording &recording = m_document.recordingObject();
    if (w.audioPreviewCheckBox->checkState() == Qt::Checked && recording.stopAudioPreview())
        setMeterEnabled(false);
    if (w.videoPreviewCheckBox->checkState() == Qt::Checked)
        recording.stopVideoPreview();
    // Disabled, not cleared: the previews start again when playback stops.
    w.audioPreviewCheckBox->setEnabled(false);
    w.videoPreviewCheckBox->setEnabled(false);
}

void RecordingController::pauseButtonPressed()
{
    if (m_recording)
        stopRecording();
    else
        m_document.pausePlaying();
}

void RecordingController::backButtonPressed()
{
    m_document.recordingObject().jumpBack();
}

void RecordingController::ffButtonPressed()
{
    const int result = m_document.toggleFF();
    if (result == Enabled || result == Active)
        setRecord(Leave, Leave, Leave, result, Enabled, Leave);
}

void RecordingController::rwButtonPressed()
{
    const int result = m_document.toggleRW();
    if (result == Enabled || result == Active)
        setRecord(Leave, Leave, Leave, Enabled, result, Leave);
}

bool RecordingController::validateUserInterfaceItem(const QAction *item) const
{
    const QString action = item ? item->objectName() : QString();
    if (action == QLatin1String("zoomVideoIn") || action == QLatin1String("zoomVideoOut") ||
        action == QLatin1String("zoomVideoNatural") || action == QLatin1String("zoomSlidesIn") ||
        action == QLatin1String("zoomSlidesOut"))
        return true;
    if (action == QLatin1String("videoMenuItemSelected")) {
        const auto holdsAView = [](const QWidget *view) {
            return view->findChild<QWidget *>(QString(), Qt::FindDirectChildrenOnly) != nullptr;
        };
        return holdsAView(m_window->videoDisplayView) ||
               !m_videoWindow->contentSubviews().isEmpty() || m_videoWindow->isVisible();
    }
    if (action == QLatin1String("slidesMenuItemSelected"))
        return !slidesPath().isEmpty() || m_slidesWindow->isVisible();
    return false;
}

void RecordingController::playbackStopped()
{
    onGuiThread([this] {
        DocumentWindow &w = *m_window;
        setRecord(Enabled, Disabled, Enabled, Disabled, Disabled, Disabled);
        w.audioPreviewCheckBox->setEnabled(true);
        w.videoPreviewCheckBox->setEnabled(true);
        WrenRecording &recording = m_document.recordingObject();
        if (w.audioPreviewCheckBox->checkState() == Qt::Checked && recording.previewAudio())
            setMeterEnabled(true);
        if (w.videoPreviewCheckBox->checkState() == Qt::Checked)
            recording.previewVideo();
    });
}

void RecordingController::setMeterEnabled(bool enabled)
{
    m_window->audioMeter->setMeterEnabled(enabled);
    m_window->audioMeter->update();
}

void RecordingController::showSpeed(float speed)
{
    m_window->speedSlide->showSpeed(speed);
    m_window->speedTextField->setText(speedText(speed));
}

float RecordingController::speedSlideCurrentValue() const
{
    return static_cast<float>(m_window->speedSlide->speed());
}

void RecordingController::setSelectedPlaybackSpeed(double speed)
{
    m_document.recordingObject().setSelectedPlaybackSpeed(static_cast<float>(speed));
}

void RecordingController::speedSlideMoved()
{
    setSelectedPlaybackSpeed(speedSlideCurrentValue());
}

void RecordingController::speedMinusPressed()
{
    setSelectedPlaybackSpeed(std::floor(10.0 * speedSlideCurrentValue() - 0.5) / 10.0);
}

void RecordingController::speedPlusPressed()
{
    setSelectedPlaybackSpeed(std::ceil(10.0 * speedSlideCurrentValue() + 0.5) / 10.0);
}

void RecordingController::speedTextEntered()
{
    bool ok = false;
    const double speed = QLocale().toDouble(m_window->speedTextField->text(), &ok);
    if (ok && speed > 0.0)
        setSelectedPlaybackSpeed(speed);
}

void RecordingController::playheadMoved(double percentage)
{
    m_document.recordingObject().jumpToPercentage(static_cast<float>(percentage));
}

void RecordingController::audioPreviewCheckBoxPressed()
{
    const Qt::CheckState state = m_window->audioPreviewCheckBox->checkState();
    WrenRecording &recording = m_document.recordingObject();
    if (state == Qt::Checked && recording.previewAudio())
        setMeterEnabled(true);
    else if (state == Qt::Unchecked && recording.stopAudioPreview())
        setMeterEnabled(false);
}

void RecordingController::videoPreviewCheckBoxPressed()
{
    const Qt::CheckState state = m_window->videoPreviewCheckBox->checkState();
    WrenRecording &recording = m_document.recordingObject();
    if (state == Qt::Checked)
        recording.previewVideo();
    else if (state == Qt::Unchecked)
        recording.stopVideoPreview();
}

void RecordingController::wireUserActions()
{
    DocumentWindow &w = *m_window;
    const std::pair<lq::ImageButton *, void (RecordingController::*)()> transport[] = {
        {w.recordButton, &RecordingController::recordButtonPressed},
        {w.playButton, &RecordingController::playButtonPressed},
        {w.pauseButton, &RecordingController::pauseButtonPressed},
        {w.backButton, &RecordingController::backButtonPressed},
        {w.ffButton, &RecordingController::ffButtonPressed},
        {w.rwButton, &RecordingController::rwButtonPressed},
    };
    for (const auto &[button, action] : transport)
        connect(button, &lq::ImageButton::clicked, this, action);
    for (QToolButton *lock : {w.editLockButton, w.editLockText})
        connect(lock, &QToolButton::clicked, this, [this] { m_document.editLockClicked(); });
    connect(w.collapseButton, &QToolButton::clicked, this,
            [this] { m_document.collapseButtonPressed(); });
    connect(w.shareButton, &QToolButton::clicked, this,
            [this] { m_document.openExportWebDialog(); });
    // Alt held makes the new list a numbered one.
    connect(w.listButton, &QToolButton::clicked, this, [this] {
        m_document.toggleList(QGuiApplication::keyboardModifiers() & Qt::AltModifier);
    });
    connect(w.playhead, &TimerBarSlider::sliderMoved, this, &RecordingController::playheadMoved);
    connect(w.speedSlide, &SpeedSlider::sliderMoved, this, &RecordingController::speedSlideMoved);
    connect(w.speedMinusButton, &QToolButton::clicked, this,
            &RecordingController::speedMinusPressed);
    connect(w.speedPlusButton, &QToolButton::clicked, this, &RecordingController::speedPlusPressed);
    connect(w.speedTextField, &QLineEdit::returnPressed, this,
            &RecordingController::speedTextEntered);
    connect(w.audioPreviewCheckBox, &QCheckBox::clicked, this,
            &RecordingController::audioPreviewCheckBoxPressed);
    connect(w.videoPreviewCheckBox, &QCheckBox::clicked, this,
            &RecordingController::videoPreviewCheckBoxPressed);
    connect(w.audioCheckBox, &QCheckBox::clicked, this, [this] {
        mediaCheckBoxPressed(*m_window->audioCheckBox, *m_window->audioSectionView,
                             QStringLiteral("autoExpandAudio"));
    });
    connect(w.videoCheckBox, &QCheckBox::clicked, this, [this] {
        mediaCheckBoxPressed(*m_window->videoCheckBox, *m_window->videoSectionView,
                             QStringLiteral("autoExpandVideo"));
    });
}
