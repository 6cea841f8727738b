#include "platform/media/FragmentedMovieRepair.h"

#include "platform/foundation/FileOperations.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/FragmentedMovie.h"
#include "platform/media/GStreamer.h"
#include "platform/media/MediaInfo.h"
#include "platform/media/PipelineRunner.h"
#include "support/MediaFixtures.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <atomic>

using namespace std::chrono_literals;
using lq::FragmentedMovie;
using lq::FragmentedMovieRepair;
using Outcome = lq::FragmentedMovieRepair::Outcome;

namespace {

// Four seconds of sound and pictures written as a recording is, in one-second fragments, and
// cut off as a killed recording is: once the writer has all its input, nothing more reaches the
// file, so neither the data it still holds nor its closing rewrite of the header.
QByteArray cutOffRecording()
{
    static const QByteArray movie = [] {
        QTemporaryDir folder;
        const QString path = QDir(folder.path()).filePath(QStringLiteral("cut.mov"));
        EXPECT_TRUE(lq::GStreamer::initialize());
        GstElement *pipeline = gst_parse_launch(
            QStringLiteral(
                "audiotestsrc num-buffers=172 ! audio/x-raw,rate=44100 ! avenc_aac ! queue ! "
                "mux.audio_0 videotestsrc num-buffers=120 ! "
                "video/x-raw,width=160,height=120,framerate=30/1 ! x264enc tune=zerolatency "
                "key-int-max=15 ! h264parse ! queue ! mux.video_0 qtmux name=mux "
                "fragment-duration=1000 fragment-mode=first-moov-then-finalise ! "
                "filesink name=sink location=\"%1\"")
                .arg(path)
                .toUtf8()
                .constData(),
            nullptr);
        EXPECT_NE(pipeline, nullptr);
        if (!pipeline)
            return QByteArray();
        auto *ended = new std::atomic<int>(0);
        GstElement *mux = gst_bin_get_by_name(GST_BIN(pipeline), "mux");
        for (const char *name : {"audio_0", "video_0"}) {
            GstPad *input = gst_element_get_static_pad(mux, name);
            gst_pad_add_probe(
                input, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
                [](GstPad *, GstPadProbeInfo *info, gpointer data) {
                    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS)
                        ++*static_cast<std::atomic<int> *>(data);
                    return GST_PAD_PROBE_OK;
                },
                ended, nullptr);
            gst_object_unref(input);
        }
        gst_object_unref(mux);
        GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
        GstPad *written = gst_element_get_static_pad(sink, "sink");
        gst_pad_add_probe(
            written,
            GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
            [](GstPad *, GstPadProbeInfo *info, gpointer data) {
                const bool cut = static_cast<std::atomic<int> *>(data)->load() == 2;
                const bool eos =
                    (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) &&
                    GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS;
                return cut && !eos ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
            },
            ended, nullptr);
        gst_object_unref(written);
        gst_object_unref(sink);
        lq::Error error;
        EXPECT_TRUE(
            lq::PipelineRunner::run(pipeline, 30s, QStringLiteral("Could not record"), &error))
            << error.localizedDescription().toStdString();
        gst_object_unref(pipeline);
        delete ended;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }();
    return movie;
}

class FragmentedMovieRepairTest : public ::testing::Test
{
protected:
    QString write(const QByteArray &data, const QString &name = QStringLiteral("movie.mov"))
    {
        const QString path = QDir(m_folder.path()).filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(data);
        return path;
    }
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList entries() const
    {
        return QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden);
    }

    QTemporaryDir m_folder;
};

// Wherever the recording was cut, the repaired movie holds every fragment that was complete,
// sound and pictures, and the discoverer reads its whole length.
TEST_F(FragmentedMovieRepairTest, KeepsEveryCompleteFragmentWhereverTheFileWasCut)
{
    const QByteArray movie = cutOffRecording();
    ASSERT_FALSE(movie.isEmpty());
    const qsizetype lastFragment = movie.lastIndexOf("moof") - 4;
    ASSERT_GT(lastFragment, 0);
    const struct
    {
        const char *name;
        qsizetype size;
    } cuts[] = {
        {"whole", movie.size()},
        {"in the last fragment header", lastFragment + 20},
        {"in the data before it", lastFragment - 100},
    };
    for (const auto &cut : cuts) {
        SCOPED_TRACE(cut.name);
        const QString path = write(movie.left(cut.size));
        const std::optional<double> kept = FragmentedMovie::playableDuration(path);
        ASSERT_TRUE(kept);
        EXPECT_GT(*kept, 2.5);

        lq::Error error;
        ASSERT_EQ(FragmentedMovieRepair::repair(path, &error), Outcome::Repaired)
            << error.localizedDescription().toStdString();
        EXPECT_FALSE(FragmentedMovie::lengths(path)) << "still fragmented";

        const auto info = lq::MediaInfo::probe(path, 10s, &error);
        ASSERT_TRUE(info) << error.localizedDescription().toStdString();
        EXPECT_NEAR(info->duration, *kept, 0.1);
        EXPECT_EQ(info->audioStreams.size(), 1);
        EXPECT_EQ(info->videoStreams.size(), 1);
        EXPECT_TRUE(lq::PipelineRunner::run(
            QStringLiteral("filesrc location=\"%1\" ! decodebin ! fakesink").arg(path), 20s,
            &error))
            << error.localizedDescription().toStdString();
        // Repaired once, it needs no more.
        EXPECT_EQ(FragmentedMovieRepair::repair(path, &error), Outcome::NotNeeded);
    }
    EXPECT_EQ(entries(), QStringList{QStringLiteral("movie.mov")});
}

TEST_F(FragmentedMovieRepairTest, LeavesTheOriginalUntilTheRepairIsComplete)
{
    const QByteArray movie = cutOffRecording();
    const QString path = write(movie);
    lq::FailingFileOperations failingReplace(
        [](const QString &operation, const QString &) { return operation == "replace"; });
    lq::FileOperations *previous = lq::FileOperations::setCurrent(&failingReplace);
    lq::Error error;
    const Outcome outcome = FragmentedMovieRepair::repair(path, &error);
    lq::FileOperations::setCurrent(previous);
    EXPECT_EQ(outcome, Outcome::Failed);
    EXPECT_FALSE(error.localizedDescription().isEmpty());
    EXPECT_EQ(contents(path), movie);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("movie.mov")});

    // An ordinary movie is left as it is.
    const QByteArray ordinary =
        contents(lq::test::MediaFixtures::path(lq::test::MediaFixture::H264AacMov, 1.0));
    const QString ordinaryPath = write(ordinary, QStringLiteral("ordinary.mov"));
    EXPECT_EQ(FragmentedMovieRepair::repair(ordinaryPath, &error), Outcome::NotNeeded);
    EXPECT_EQ(contents(ordinaryPath), ordinary);
}

// Whatever the bytes, the repair answers with a sentence or a movie, and never touches a file it
// cannot repair.
TEST_F(FragmentedMovieRepairTest, RefusesGarbageWithASentence)
{
    const QByteArray movie = cutOffRecording();
    QByteArray random(5000, '\0');
    QRandomGenerator generator(11);
    for (char &byte : random)
        byte = char(generator.bounded(256));
    QByteArray emptyTables = movie;
    emptyTables.replace(emptyTables.indexOf("stsz") + 8, 8,
                        QByteArray::fromHex("00000000ffffffff"));
    QByteArray farData = movie;
    farData.replace(farData.indexOf("stco") + 12, 4, QByteArray::fromHex("7fffffff"));
    const struct
    {
        const char *name;
        QByteArray data;
    } hostile[] = {
        {"empty", QByteArray()},
        {"text", QByteArray("Not a movie.\n").repeated(100)},
        {"random", random},
        {"header alone", movie.left(movie.indexOf("moov") + 4)},
        {"too many samples", emptyTables},
        {"data beyond the end", farData},
    };
    lq::Error error;
    for (const auto &test : hostile) {
        SCOPED_TRACE(test.name);
        const QString path = write(test.data);
        error = lq::Error();
        EXPECT_EQ(FragmentedMovieRepair::repair(path, &error), Outcome::Failed);
        EXPECT_TRUE(error.localizedDescription().endsWith(QLatin1Char('.')))
            << error.localizedDescription().toStdString();
        EXPECT_EQ(contents(path), test.data);
    }
    EXPECT_EQ(FragmentedMovieRepair::repair(QStringLiteral("/nonexistent/movie.mov"), &error),
              Outcome::Failed);

    for (int round = 0; round < 200; ++round) {
        QByteArray damaged = movie;
        for (int flip = 0; flip < 8; ++flip)
            damaged[generator.bounded(int(damaged.size()))] = char(generator.bounded(256));
        const QString path = write(damaged);
        const Outcome outcome = FragmentedMovieRepair::repair(path, &error);
        if (outcome != Outcome::Repaired) {
            EXPECT_EQ(contents(path), damaged);
        }
    }
    EXPECT_EQ(entries(), QStringList{QStringLiteral("movie.mov")});
}

} // namespace
