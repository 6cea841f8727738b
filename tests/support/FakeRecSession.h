#pragma once

#include "engines/LQRecSession.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace lq::test {

// A recording engine without devices. Each call is logged by name in `calls`; its answers come
// from `script`. Files are named like the modern engine's: stem + k + ".mov" with k from 0 for
// each session, or running on across sessions like the legacy engine's when asked.
class FakeRecSession final : public LQRecSession
{
    Q_OBJECT

public:
    struct Script
    {
        bool previewAudio = true;
        bool previewVideo = true;
        bool startRecording = true;
        bool stopRecording = true;
        std::optional<double> nowInterval; // none: answers false
        bool prepareToSave = true;
        std::optional<QList<double>> lengths;
        bool continuesNumbering = false;
        // Sends the start callback from inside startRecording; otherwise reportWritingStarted().
        bool reportsStartAtOnce = true;
        // A stop finishes the last file at once; otherwise finishWriting().
        bool finishesWritingOnStop = true;
        // Writes each named file, holding its own name, when the stem's folder exists.
        bool createsFiles = false;
        // A stop hands back the session's file names; otherwise no list.
        bool reportsFilesOnStop = true;
    };

    Script script;
    QStringList calls;

    bool previewAudio() override;
    bool previewVideo() override;
    bool stopAudioPreview() override;
    bool stopVideoPreview() override;
    bool startRecording(const QString &fileStem, bool audio, bool video) override;
    bool stopRecording(QStringList *files) override;
    bool nowInterval(double *seconds) override;
    void resetSession() override;
    bool prepareToSave(QStringList *files) override;
    void startMerge() override;
    std::optional<QList<double>> lengths() const override { return script.lengths; }
    bool shouldPreviewAudio() const override { return m_previewingAudio; }
    bool shouldPreviewVideo() const override { return m_previewingVideo; }
    bool currentlyRecording() const override { return m_recording; }
    bool writingFile() const override { return m_writing; }
    bool currentlySaving() const override { return m_saving; }

    // What the last startRecording was given.
    QString stem() const { return m_stem; }
    bool recordsAudio() const { return m_audio; }
    bool recordsVideo() const { return m_video; }
    // The names of the current or last session's files so far.
    QStringList sessionFiles() const { return m_files; }

    // Events a real engine would have on its own.
    void beginNextFile(); // the session goes on in a further file
    void reportWritingStarted();
    void finishWriting(); // the last file is done: sends the completion callback
    void failRecording(); // a recording error: capture torn down, recordingStopped sent
    void setCurrentlySaving(bool saving) { m_saving = saving; }
    LQRecordingController *askOwnerForController() { return ownerController(); }

private:
    void addFile();

    bool m_previewingAudio = false;
    bool m_previewingVideo = false;
    bool m_recording = false;
    bool m_writing = false;
    bool m_saving = false;
    bool m_audio = false;
    bool m_video = false;
    QString m_stem;
    QStringList m_files;
    int m_nextFileNumber = 0;
};

} // namespace lq::test
