#include "support/MediaFixtures.h"

#include "platform/foundation/Error.h"
#include "platform/media/PipelineRunner.h"

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
