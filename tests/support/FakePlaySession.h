#pragma once

#include "engines/LQPlaySession.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace lq::test {

// A playback engine without media. Each call is logged by name in `calls`; its answers come from
// `script`, and what it was given is kept for the test to read.
class FakePlaySession final : public LQPlaySession
{
public:
    struct Script
    {
        bool addMediaPaths = true;
        bool addMediaFiles = true;
        bool startPlaying = true;
        std::optional<double> currentTime;       // answered only while playing
        std::optional<double> length;            // none: answers false
        std::optional<QStringList> trimmedFiles; // none: trimFrom answers false
        bool exportMedia = true;
    };

    struct ExportRequest
    {
        QString destination;
        QString type;
        std::optional<QSize> size;
    };

    Script script;
    QStringList calls;
    // Runs while an export is asked for, after the request is kept (the engine may be gone
    // afterwards).
    std::function<void(FakePlaySession &)> onExport;

    // What it was given.
    QList<LQMediaElement> mediaElements;
    QStringList mediaNames;
    QString mediaFolder;
    std::optional<double> startOffset;
    bool startedBackwards = false;
    float rate = 1.0f;
    QList<double> seeks;
    std::optional<double> trimOffset;
    QList<ExportRequest> exports;

    bool addMediaPaths(const QList<LQMediaElement> &elements) override;
    bool addMediaFiles(const QStringList &names, const QString &folder) override;
    bool startPlaying(std::optional<double> offset, bool backwards) override;
    bool stopPlaying() override;
    bool setRate(float newRate) override;
    bool currentTime(double *seconds) override;
    bool length(double *seconds) override;
    void setCurrentTime(double seconds) override;
    bool trimFrom(std::optional<double> offset, QStringList *newFiles) override;
    bool exportMedia(const QString &destination, const QString &type, LQExportProgress &progress,
                     std::optional<QSize> size) override;
    void cancelExporting() override;
    bool currentlyPlaying() const override { return m_playing; }

    // Playback reaches the end of the timeline by itself.
    void reachEnd() { m_playing = false; }

private:
    bool m_playing = false;
};

} // namespace lq::test
