// What the recording object reports, shown in the window on the GUI thread.
#include "document/MyDocument.h"
#include "window/AudioMeter.h"
#include "window/DocumentWindow.h"
#include "window/RecordingController.h"
#include "window/TimeView.h"
#include "window/TimerBarSlider.h"

#include <QLabel>

void RecordingController::clockTimeChanged(lq::Date clockTime)
{
    onGuiThread([this, clockTime] { showClockTime(clockTime); });
}

void RecordingController::sessionClockTimeChanged(WrenTimerSession *, lq::Date clockTime)
{
    onGuiThread([this, clockTime] { showClockTime(clockTime); });
}

void RecordingController::showClockTime(lq::Date clockTime)
{
    const lq::Date epoch = lq::clockEpoch();
    const double elapsed = clockTime.timeIntervalSince(epoch);
    m_window->timeField->setObjectValue(clockTime);
    m_window->timeField2->setText(
        lq::formatClockTime(epoch.addingTimeInterval(recordingLength() - elapsed), true));
    updateChangeCount();
}

void RecordingController::updateChangeCount()
{
    // A running recording keeps the note edited.
    if (m_recording.load())
        m_document.updateChangeCount(lq::Document::ChangeKind::Done);
}

void RecordingController::percentageDoneChanged(float percentage)
{
    onGuiThread([this, percentage] { m_window->playhead->setValue(percentage); });
}

void RecordingController::selectedPlaybackSpeedChanged(float speed)
{
    onGuiThread([this, speed] { showSpeed(speed); });
}

void RecordingController::audioLevelChanged(float decibels)
{
    onGuiThread([this, decibels] {
        m_window->audioMeter->setLevelValue(decibels);
        m_window->audioMeter->update();
    });
}
