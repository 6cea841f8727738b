#include "support/MediaFixtures.h"

#include "platform/foundation/Error.h"
#include "platform/media/PipelineRunner.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <mutex>

namespace lq::test {
namespace {

constexpr std::chrono::seconds kMakeTimeLimit{60};

struct Recipe
{
    QString fileName;
    QString pipeline; // %1 = buffer count, %2 = output path
};

// Sources with one buffer per tenth of a second.
const QString kAudio = QStringLiteral(
    "audiotestsrc num-buffers=%1 samplesperbuffer=4410 ! audio/x-raw,rate=44100,channels=2 "
    "! audioconvert");
const QString kVideo = QStringLiteral(
    "videotestsrc num-buffers=%1 ! video/x-raw,width=64,height=48,framerate=10/1 ! videoconvert");
const QString kH264 = QStringLiteral("video/x-raw,format=I420 ! x264enc speed-preset=ultrafast");
const QString kMovie = QStringLiteral("qtmux name=m ! filesink location=\"%2\" ");

Recipe recipeFor(MediaFixture fixture)
{
    const QString toFile = QStringLiteral(" ! filesink location=\"%2\"");
    switch (fixture) {
    case MediaFixture::AacM4a:
        return {QStringLiteral("aac.m4a"), kAudio + " ! avenc_aac ! mp4mux" + toFile};
    case MediaFixture::AacMov:
        return {QStringLiteral("aac.mov"), kAudio + " ! avenc_aac ! qtmux" + toFile};
    case MediaFixture::AlacMov:
        return {QStringLiteral("alac.mov"), kAudio + " ! avenc_alac ! qtmux" + toFile};
    case MediaFixture::LpcmMov:
        return {QStringLiteral("lpcm.mov"),
                kAudio + " ! audio/x-raw,format=S16LE ! qtmux" + toFile};
    case MediaFixture::Mp3:
        return {QStringLiteral("sound.mp3"), kAudio + " ! lamemp3enc" + toFile};
    case MediaFixture::Wav:
        return {QStringLiteral("sound.wav"), kAudio + " ! wavenc" + toFile};
    case MediaFixture::H264AacMov:
        return {QStringLiteral("h264.mov"), kMovie + kVideo + " ! " + kH264 +
                                                " ! queue ! m.video_0 " + kAudio +
                                                " ! avenc_aac ! queue ! m.audio_0"};
    case MediaFixture::TwoH264Mov:
        return {QStringLiteral("two-h264.mov"), kMovie + kVideo + " ! " + kH264 +
                                                    " ! queue ! m.video_0 " + kVideo + " ! " +
                                                    kH264 + " ! queue ! m.video_1"};
    case MediaFixture::Mpeg4VideoMov:
        // This encoder's timestamps run ten times too fast: the movie is shorter than asked, and
        // with a sound track beside it readers would take the video for a preview and skip it.
        return {QStringLiteral("mpeg4.mov"), kVideo + " ! avenc_mpeg4 ! avmux_mov" + toFile};
    case MediaFixture::VorbisOgg:
        return {QStringLiteral("vorbis.ogg"), kAudio + " ! vorbisenc ! oggmux" + toFile};
    }
    return {};
}

// A session as the capture writes it: %1 pictures, %2 sounds, %3 the files' names, %4 the muxer's
// settings, %5 the time after which it starts a new file.
const QString kRecordedSession = QStringLiteral(
    "splitmuxsink name=s location=\"%3\" max-size-time=%5 muxer=\"qtmux fragment-duration=500 %4\" "
    "videotestsrc num-buffers=%1 pattern=ball ! video/x-raw,width=64,height=48,framerate=10/1 ! "
    "videoconvert ! video/x-raw,format=I420 ! "
    "x264enc tune=zerolatency speed-preset=ultrafast key-int-max=5 ! h264parse ! s.video "
    "audiotestsrc num-buffers=%2 samplesperbuffer=4410 ! audio/x-raw,rate=44100,channels=2 ! "
    "audioconvert ! avenc_aac ! s.audio_0");

QTemporaryDir &fixtureFolder()
{
    static QTemporaryDir folder;
    return folder;
}

} // namespace

QString MediaFixtures::folder()
{
    return fixtureFolder().path();
}

namespace {

std::mutex fixturesMutex;

bool run(const QString &description, const QString &name)
{
    Error error;
    if (PipelineRunner::run(description, kMakeTimeLimit, &error))
        return true;
    ADD_FAILURE() << "Could not make " << name.toStdString() << ": "
                  << error.localizedDescription().toStdString();
    return false;
}

} // namespace

QStringList MediaFixtures::recordedSession(int files, double fileSeconds, bool cutOff)
{
    const std::lock_guard lock(fixturesMutex);
    const QString stem = QStringLiteral("%1/session-%2x%3%4-")
                             .arg(folder())
                             .arg(files)
                             .arg(fileSeconds)
                             .arg(cutOff ? QStringLiteral("-cut") : QString());
    QStringList paths;
    for (int i = 0; i < files; ++i)
        paths.append(stem + QStringLiteral("%1.mov").arg(i));
    if (QFile::exists(paths.last()))
        return paths;
    const auto buffers = [](double seconds) { return QString::number(std::lround(seconds * 10)); };
    const QString finalised = QStringLiteral("fragment-mode=first-moov-then-finalise");
    const double length = (files - 0.5) * fileSeconds;
    const QString fileTime = QString::number(std::llround(fileSeconds * 1e9));
    if (!run(kRecordedSession.arg(buffers(length), buffers(length), stem + QStringLiteral("%d.mov"),
                                  finalised, fileTime),
             QStringLiteral("a recorded session")))
        return {};
    // The last file again, from the same encoders, left as a crash leaves it.
    if (cutOff && !run(kRecordedSession.arg(buffers(fileSeconds / 2), buffers(fileSeconds / 2),
                                            paths.last(), QString(), QStringLiteral("0")),
                       QStringLiteral("a cut-off recording")))
        return {};
    return paths;
}

QString MediaFixtures::path(MediaFixture fixture, double seconds)
{
    static std::mutex mutex;
    static QSet<QString> made;
    const std::lock_guard lock(mutex);

    const Recipe recipe = recipeFor(fixture);
    const int buffers = int(std::lround(seconds * 10));
    const QString path =
        QStringLiteral("%1/%2-%3").arg(folder(), QString::number(buffers), recipe.fileName);
    if (made.contains(path))
        return path;

    const QString description = QString(recipe.pipeline).arg(buffers).arg(path);
    Error error;
    if (!PipelineRunner::run(description, kMakeTimeLimit, &error)) {
        ADD_FAILURE() << "Could not make " << recipe.fileName.toStdString() << ": "
                      << error.localizedDescription().toStdString();
        return {};
    }
    made.insert(path);
    return path;
}

} // namespace lq::test
