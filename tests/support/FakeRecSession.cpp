#include "support/FakeRecSession.h"

#include "engines/LQMediaFileNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <utility>

namespace lq::test {

bool FakeRecSession::previewAudio()
{
    calls.append(QStringLiteral("previewAudio"));
    m_previewingAudio = m_previewingAudio || script.previewAudio;
    return script.previewAudio;
}

bool FakeRecSession::previewVideo()
{
    calls.append(QStringLiteral("previewVideo"));
    m_previewingVideo = m_previewingVideo || script.previewVideo;
    return script.previewVideo;
}

bool FakeRecSession::stopAudioPreview()
{
    calls.append(QStringLiteral("stopAudioPreview"));
    return std::exchange(m_previewingAudio, false);
}

bool FakeRecSession::stopVideoPreview()
{
    calls.append(QStringLiteral("stopVideoPreview"));
    return std::exchange(m_previewingVideo, false);
}

bool FakeRecSession::startRecording(const QString &fileStem, bool audio, bool video)
{
    calls.append(QStringLiteral("startRecording"));
    if (!script.startRecording || m_recording)
        return false;
    m_recording = true;
    m_writing = true;
    m_stem = fileStem;
    m_audio = audio;
    m_video = video;
    m_files.clear();
    if (!script.continuesNumbering)
        m_nextFileNumber = 0;
    addFile();
    if (script.reportsStartAtOnce)
        reportWritingStarted();
    return true;
}

bool FakeRecSession::stopRecording(QStringList *files)
{
    calls.append(QStringLiteral("stopRecording"));
    if (!script.stopRecording || !m_recording)
        return false;
    m_recording = false;
    if (files && script.reportsFilesOnStop)
        *files = m_files;
    if (script.finishesWritingOnStop)
        finishWriting();
    return true;
}

bool FakeRecSession::nowInterval(double *seconds)
{
    calls.append(QStringLiteral("nowInterval"));
    if (!script.nowInterval)
        return false;
    *seconds = *script.nowInterval;
    return true;
}

void FakeRecSession::resetSession()
{
    calls.append(QStringLiteral("resetSession"));
}

bool FakeRecSession::prepareToSave(QStringList *files)
{
    calls.append(QStringLiteral("prepareToSave"));
    if (files)
        *files = m_files;
    return script.prepareToSave;
}

void FakeRecSession::startMerge()
{
    calls.append(QStringLiteral("startMerge"));
}

void FakeRecSession::beginNextFile()
{
    if (m_recording)
        addFile();
}

void FakeRecSession::reportWritingStarted()
{
    if (!m_files.isEmpty())
        sendDidStartRecordingToOutputFile(
            QUrl::fromLocalFile(QFileInfo(m_stem).dir().filePath(m_files.first())), 0.0);
}

void FakeRecSession::finishWriting()
{
    if (!m_writing)
        return;
    m_writing = false;
    sendSessionRecordingCompleted();
}

void FakeRecSession::failRecording()
{
    m_recording = false;
    m_writing = false;
    sendRecordingStopped();
}

void FakeRecSession::addFile()
{
    const QString path = LQMediaFileNames::fileName(m_stem, m_nextFileNumber++);
    m_files.append(QFileInfo(path).fileName());
    if (!script.createsFiles)
        return;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(m_files.last().toUtf8());
}

} // namespace lq::test
