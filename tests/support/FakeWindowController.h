#pragma once

#include "model/RecordingWindowController.h"

#include <QStringList>

#include <functional>

namespace lq::test {

// Logs every message and observed value by name ("gotoSlide:1", "clockTime", ...).
class FakeWindowController final : public RecordingWindowController
{
public:
    void setRecordingExists() override { calls.append(QStringLiteral("setRecordingExists")); }
    void setRecordingGone() override { calls.append(QStringLiteral("setRecordingGone")); }
    void setSlidesPath(const QString &path) override
    {
        calls.append(QStringLiteral("setSlidesPath:") + path);
    }
    void removeSlidesFile() override { calls.append(QStringLiteral("removeSlidesFile")); }
    // "gotoSlide:2", or "gotoSlide:2 recordUndo:NO" for a change that is not to be undone.
    void gotoSlide(uint32_t slide, bool recordUndo) override
    {
        calls.append(QStringLiteral("gotoSlide:%1").arg(slide) +
                     (recordUndo ? QString() : QStringLiteral(" recordUndo:NO")));
    }
    void expandSlidesSection() override { calls.append(QStringLiteral("expandSlidesSection")); }
    void expandVideoSection() override { calls.append(QStringLiteral("expandVideoSection")); }
    void playbackStopped() override { calls.append(QStringLiteral("playbackStopped")); }
    void close() override { calls.append(QStringLiteral("close")); }
    void stopRecording() override
    {
        calls.append(QStringLiteral("stopRecording"));
        if (onStopRecording)
            onStopRecording();
    }
    void setVideoView(QWidget *view) override
    {
        calls.append(QStringLiteral("setVideoView"));
        videoView = view;
    }

    void clockTimeChanged(lq::Date) override { observed.append(QStringLiteral("clockTime")); }
    void percentageDoneChanged(float) override
    {
        observed.append(QStringLiteral("percentageDone"));
    }
    void selectedPlaybackSpeedChanged(float) override
    {
        observed.append(QStringLiteral("selectedPlaybackSpeed"));
    }
    void sessionClockTimeChanged(WrenTimerSession *, lq::Date) override
    {
        observed.append(QStringLiteral("sessionClockTime"));
    }
    void audioLevelChanged(float) override { observed.append(QStringLiteral("audioLevel")); }

    QStringList calls;
    // What the window does when asked to stop recording (it stops the document's session).
    std::function<void()> onStopRecording;
    QWidget *videoView = nullptr;
    QStringList observed;
};

} // namespace lq::test
