#include "RecordedMovieChecks.h"
#include "engines/avf/LQPlayerSession.h"
#include "engines/avf/MediaEngineFactory.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/MediaInfo.h"
#include "platform/media/PipelineRunner.h"
#include "support/FakeEngineFactory.h"
#include "support/FakeExportProgress.h"
#include "support/FixedGap.h"
#include "support/FolderContents.h"
#include "support/LogCapture.h"
#include "support/MediaFixtures.h"
#include "support/ScriptedAlertPresenter.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace std::chrono_literals;
using lq::test::gap;
using lq::test::MediaFixture;
using lq::test::MediaFixtures;
namespace CodecId = lq::CodecId;

namespace {

// One picture of the fixtures lasts a tenth of a second.
constexpr double kFrame = 0.1;

// A note's media in a folder of their own: sound files and movies of two seconds, and the
// folder exports are written to.
class PlayerExportTest : public testing::Test
{
protected:
    PlayerExportTest()
    {
        EXPECT_TRUE(QDir().mkpath(m_notes.filePath(QStringLiteral("exports"))));
        EXPECT_TRUE(QFile::copy(MediaFixtures::path(MediaFixture::AacMov, 2.0), sound()));
        EXPECT_TRUE(QFile::copy(MediaFixtures::path(MediaFixture::H264AacMov, 2.0), movie()));
        EXPECT_TRUE(QFile::copy(MediaFixtures::path(MediaFixture::H264AacMov, 2.0), movie(1)));
    }

    QString sound() const { return m_notes.filePath(QStringLiteral("recording-0.0.mov")); }
    QString movie(int number = 0) const
    {
        return m_notes.filePath(QStringLiteral("recording-1.%1.mov").arg(number));
    }
    QString exported(const QString &name) const
    {
        return m_notes.filePath(QStringLiteral("exports/") + name);
    }
    QMap<QString, QByteArray> media() const { return lq::test::folderContents(m_notes.path()); }

    // Loads elements into engine and exports them.
    bool exportMedia(LQPlayerSession &engine, const QList<LQMediaElement> &elements,
                     const QString &destination, const QString &type,
                     std::optional<QSize> size = std::nullopt)
    {
        EXPECT_TRUE(engine.addMediaPaths(elements));
        return engine.exportMedia(destination, type, progress, size);
    }

    lq::test::ScriptedAlertPresenter alerts;
    lq::test::FakeExportProgress progress;

private:
    QTemporaryDir m_notes;
};

TEST_F(PlayerExportTest, EachTypeWritesWhatItNames)
{
    struct Case
    {
        const char *name;
        QList<LQMediaElement> elements;
        QString type;
        std::optional<QSize> size;
        QString sound;
        QSize frame; // empty: no pictures
        int frameRate;
    };
    const QString m4a = QStringLiteral("m4a_export");
    const QString movAudio = QStringLiteral("mov_audio_export");
    const QString mov = QStringLiteral("mov_export");
    const QString h264 = QStringLiteral("h264_export");
    const QString aac = CodecId::kAac;
    const QString lossless = MediaFixtures::path(MediaFixture::AlacMov, 1.0);
    // Sound of another rate and channel count than the fixtures'.
    const QString mono = exported(QStringLiteral("mono.mov"));
    lq::Error made;
    ASSERT_TRUE(lq::PipelineRunner::run(
        QStringLiteral("audiotestsrc num-buffers=20 samplesperbuffer=4800 ! "
                       "audio/x-raw,rate=48000,channels=1 ! voaacenc ! qtmux ! filesink "
                       "location=\"%1\"")
            .arg(mono),
        20s, &made))
        << made.localizedDescription().toStdString();
    const QSize web(320, 240);
    const QSize movieFrame(64, 48);
    const Case cases[] = {
        {"m4a of one sound file", {sound()}, m4a, {}, aac, {}, 0},
        {"m4a with a gap", {movie(), gap(1.5), sound()}, m4a, {}, aac, {}, 0},
        {"m4a of lossless sound", {lossless}, m4a, {}, aac, {}, 0},
        {"m4a of mono sound with a gap", {mono, gap(0.5)}, m4a, {}, aac, {}, 0},
        {"silence alone", {gap(2.0)}, movAudio, {}, aac, {}, 0},
        {"sound of two movie files", {movie(), movie(1)}, movAudio, {}, aac, {}, 0},
        {"lossless sound copied", {lossless, lossless}, movAudio, {}, CodecId::kAlac, {}, 0},
        {"movie of two files", {movie(), movie(1)}, mov, {}, aac, movieFrame, 10},
        {"movie with a gap", {gap(1.0), movie(), sound()}, mov, {}, aac, movieFrame, 10},
        {"H.264 for the web", {movie(), gap(0.5), sound()}, h264, web, aac, web, 15},
        {"H.264 of sound alone", {sound()}, h264, web, aac, {}, 0},
    };
    const QMap<QString, QByteArray> before = media();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LQPlayerSession engine;
        const QString destination = exported(QString::fromLatin1(c.name));
        progress.fractions.clear();
        ASSERT_TRUE(exportMedia(engine, c.elements, destination, c.type, c.size));
        double length = 0.0;
        ASSERT_TRUE(engine.length(&length));

        lq::Error error;
        const std::optional<lq::MediaInfo> info = lq::MediaInfo::probe(destination, 10s, &error);
        ASSERT_TRUE(info) << error.localizedDescription().toStdString();
        EXPECT_NEAR(info->duration, length, kFrame);
        ASSERT_EQ(info->audioStreams.size(), 1);
        EXPECT_EQ(info->audioStreams.first().codec, c.sound);
        // The sound keeps the rate and channels of the first file's.
        const auto first =
            std::find_if(c.elements.cbegin(), c.elements.cend(), [](const LQMediaElement &element) {
                return std::holds_alternative<QString>(element);
            });
        const std::optional<lq::MediaInfo> source =
            first == c.elements.cend()
                ? std::nullopt
                : lq::MediaInfo::probe(std::get<QString>(*first), 10s, &error);
        if (source) {
            EXPECT_EQ(info->audioStreams.first().sampleRate,
                      source->audioStreams.first().sampleRate);
            EXPECT_EQ(info->audioStreams.first().channels, source->audioStreams.first().channels);
        }
        const lq::test::DecodedLength decoded = lq::test::decodedLength(destination);
        EXPECT_NEAR(decoded.audio, length, kFrame);
        ASSERT_EQ(info->videoStreams.size(), c.frame.isEmpty() ? 0 : 1);
        if (!c.frame.isEmpty()) {
            const lq::VideoStreamInfo &video = info->videoStreams.first();
            EXPECT_EQ(video.codec, CodecId::kH264);
            EXPECT_EQ(QSize(video.width, video.height), c.frame);
            EXPECT_TRUE(
                video.caps.contains(QStringLiteral("framerate=(fraction)%1/1").arg(c.frameRate)))
                << video.caps.toStdString();
            EXPECT_NEAR(decoded.video, length, kFrame);
        }
        EXPECT_TRUE(std::is_sorted(progress.fractions.cbegin(), progress.fractions.cend()));
    }
    EXPECT_EQ(media(), before);
    EXPECT_EQ(alerts.count(), 0);
    // No temporary file is left.
    EXPECT_EQ(QDir(exported({})).entryList(QDir::Files | QDir::Hidden),
              QDir(exported({})).entryList(QDir::Files));
}

TEST_F(PlayerExportTest, PicturesKeepTheirProportionsBetweenBlackBands)
{
    LQPlayerSession engine;
    const QString destination = exported(QStringLiteral("wide.m4v"));
    // Twice as wide as the 4:3 pictures fill.
    ASSERT_TRUE(
        exportMedia(engine, {movie()}, destination, QStringLiteral("h264_export"), QSize(128, 48)));
    const QString first = exported(QStringLiteral("first.png"));
    lq::Error error;
    ASSERT_TRUE(lq::PipelineRunner::run(
        QStringLiteral(
            "filesrc location=\"%1\" ! qtdemux ! h264parse ! avdec_h264 ! videoconvert ! "
            "pngenc snapshot=true ! filesink location=\"%2\"")
            .arg(destination, first),
        20s, &error))
        << error.localizedDescription().toStdString();
    const QImage picture(first);
    ASSERT_EQ(picture.size(), QSize(128, 48));
    const auto brightness = [&](int x) { return qGray(picture.pixel(x, 24)); };
    EXPECT_LT(brightness(4), 24);
    EXPECT_LT(brightness(123), 24);
    EXPECT_GT(brightness(40), 100); // the test picture's white bar
}

TEST_F(PlayerExportTest, AFailedOrCancelledExportKeepsAnEarlierFileAndTellsOnlyFailures)
{
    enum class Trouble { FolderThere, MissingFolder, PublishingFails, Cancelled, UnknownType };
    struct Case
    {
        Trouble trouble;
        QString target;
        QString alert; // empty: none
    };
    const QString destination = exported(QStringLiteral("earlier.mov"));
    const QString folder = exported(QStringLiteral("folder.mov"));
    const QString missing = exported(QStringLiteral("missing/earlier.mov"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString writeError = QStringLiteral("Error writing export media file %1");
    const Case cases[] = {
        {Trouble::FolderThere, folder,
         QStringLiteral("Error, %1 currently exists and is a directory").arg(folder)},
        {Trouble::MissingFolder, missing, writeError.arg(missing)},
        {Trouble::PublishingFails, destination, writeError.arg(destination)},
        {Trouble::Cancelled, destination, {}},
        {Trouble::UnknownType, destination, {}},
    };
    const QByteArray earlier("an earlier export");
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.trouble));
        QFile::remove(destination);
        {
            QFile file(destination);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(earlier);
        }
        const QMap<QString, QByteArray> before = media();
        lq::test::LogCapture log;
        lq::test::ScriptedAlertPresenter caseAlerts;
        lq::FailingFileOperations failing([&](const QString &operation, const QString &) {
            return c.trouble == Trouble::PublishingFails && operation == QLatin1String("replace");
        });
        lq::FileOperations *previous = lq::FileOperations::setCurrent(&failing);
        LQPlayerSession engine;
        progress.onTurn = [&] {
            if (c.trouble == Trouble::Cancelled)
                engine.cancelExporting();
        };
        EXPECT_FALSE(exportMedia(engine, {movie(), gap(1.0), movie(1)}, c.target,
                                 c.trouble == Trouble::UnknownType ? QStringLiteral("ogg_export")
                                                                   : QStringLiteral("mov_export")));
        lq::FileOperations::setCurrent(previous);

        if (c.alert.isEmpty()) {
            EXPECT_EQ(caseAlerts.count(), 0);
        } else {
            ASSERT_EQ(caseAlerts.count(), 1);
            EXPECT_EQ(caseAlerts.last().request.messageText, c.alert);
        }
        EXPECT_EQ(log.contains(QStringLiteral("Program error")), c.trouble == Trouble::UnknownType);
        QFile file(destination);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), earlier);
        EXPECT_EQ(QDir(exported({})).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("earlier.mov")});
        EXPECT_EQ(media(), before);
    }
}

TEST_F(PlayerExportTest, WhatThisEngineDoesNotWriteGoesToTheLegacyFamily)
{
    lq::test::FakeEngineFactory engines;
    const QString destination = exported(QStringLiteral("other.ogg"));
    const QList<LQMediaElement> elements{sound(), gap(2.0)};
    QList<lq::test::FakePlaySession::ExportRequest> requests;
    engines.onExport = [&](lq::test::FakePlaySession &fallback) {
        requests.append(fallback.exports);
        EXPECT_EQ(fallback.mediaElements, elements);
        EXPECT_EQ(fallback.tempDir(), QStringLiteral("/tmp/notes"));
    };
    for (const bool fallbackWrites : {true, false}) {
        SCOPED_TRACE(fallbackWrites);
        engines.playbackScript.exportMedia = fallbackWrites;
        LQPlayerSession engine;
        engine.setTempDir(QStringLiteral("/tmp/notes"));
        EXPECT_EQ(
            exportMedia(engine, elements, destination, QStringLiteral("ogg_export"), QSize(8, 6)),
            fallbackWrites);
    }
    EXPECT_EQ(engines.playbackFamilies,
              QList<LQEngineFactory::Family>(2, LQEngineFactory::Family::Legacy));
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests.first().destination, destination);
    EXPECT_EQ(requests.first().type, QStringLiteral("ogg_export"));
    EXPECT_EQ(requests.first().size, QSize(8, 6));
    // The fallback engine tells its own failures.
    EXPECT_EQ(alerts.count(), 0);
}

TEST_F(PlayerExportTest, TheProgramsLegacyEngineTakesWhatThisEngineDoesNotWrite)
{
    MediaEngineFactory engines;
    LQEngineFactory *previous = LQEngineFactory::setCurrent(&engines);
    QTemporaryDir temporary;
    lq::test::LogCapture log;
    LQPlayerSession engine;
    engine.setTempDir(temporary.path());
    EXPECT_FALSE(exportMedia(engine, {sound(), gap(1.0)}, exported(QStringLiteral("other.ogg")),
                             QStringLiteral("ogg_export")));
    LQEngineFactory::setCurrent(previous);
    EXPECT_TRUE(log.contains(
        QStringLiteral("Program error, cannot export to ogg_export, invalid file type")));
    EXPECT_EQ(alerts.count(), 0);
    // The legacy engine's timeline description went with it.
    EXPECT_TRUE(QDir(temporary.path()).isEmpty());
}

} // namespace
