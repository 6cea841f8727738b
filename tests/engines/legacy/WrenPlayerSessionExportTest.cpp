#include "engines/legacy/WrenPlayerSession.h"
#include "platform/media/MediaInfo.h"
#include "support/FakeExportProgress.h"
#include "support/FixedGap.h"
#include "support/FolderContents.h"
#include "support/IndependentReading.h"
#include "support/LogCapture.h"
#include "support/MediaFixtures.h"
#include "support/ScriptedAlertPresenter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using lq::test::gap;
using lq::test::MediaFixture;
using lq::test::MediaFixtures;

namespace {

// One picture of the fixtures lasts a tenth of a second; a length within one picture may be off
// by exactly one, whatever the rounding of the times.
constexpr double kFrame = 0.1 + 1e-9;

class WrenExportTest : public testing::Test
{
protected:
    WrenExportTest()
    {
        EXPECT_TRUE(QFile::copy(MediaFixtures::path(MediaFixture::AacMov, 2.0), sound));
        EXPECT_TRUE(QFile::copy(MediaFixtures::path(MediaFixture::H264AacMov, 2.0), movie));
        EXPECT_TRUE(QDir().mkpath(exports));
    }

    bool exportMedia(const QList<LQMediaElement> &elements, const QString &destination,
                     const QString &type, std::optional<QSize> size = std::nullopt)
    {
        engine.setTempDir(m_temp.path());
        EXPECT_TRUE(engine.addMediaPaths(elements));
        return engine.exportMedia(destination, type, progress, size);
    }
    QMap<QString, QByteArray> media() const { return lq::test::folderContents(m_notes.path()); }
    QStringList exported() const { return QDir(exports).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir m_notes;
    QTemporaryDir m_temp;
    const QString sound = m_notes.filePath(QStringLiteral("recording-0.0.mov"));
    const QString movie = m_notes.filePath(QStringLiteral("recording-1.0.mov"));
    const QString exports = m_temp.filePath(QStringLiteral("exports"));
    WrenPlayerSession engine;
    lq::test::ScriptedAlertPresenter alerts;
    lq::test::FakeExportProgress progress;
};

TEST_F(WrenExportTest, EachTypeWritesWhatItNames)
{
    const struct
    {
        const char *name;
        QList<LQMediaElement> elements;
        const char *type;
        std::optional<QSize> size;
        double length;
        QSize frame; // empty: no pictures
    } cases[] = {
        {"sound of a movie, a gap and a sound file", {movie, gap(1.5), sound}, "m4a", {}, 5.5, {}},
        {"movie sound alone, asked at a size", {movie, movie}, "mov_audio", QSize(32, 24), 4, {}},
        {"movie of a gap, a movie and sound", {gap(1.0), movie, sound}, "mov", {}, 5, {64, 48}},
        {"movie copied", {movie, movie}, "mov", {}, 4.0, {64, 48}},
        {"H.264 fitted without bands", {movie, gap(0.5)}, "h264", QSize(32, 32), 2.5, {32, 24}},
        {"H.264 of a picture that fits", {movie}, "h264", QSize(320, 240), 2.0, {64, 48}},
    };
    const QMap<QString, QByteArray> before = media();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString destination = QDir(exports).filePath(QString::fromLatin1(c.name));
        ASSERT_TRUE(exportMedia(c.elements, destination,
                                QString::fromLatin1(c.type) + QStringLiteral("_export"), c.size));

        lq::Error error;
        const std::optional<lq::MediaInfo> info = lq::MediaInfo::probe(destination, 10s, &error);
        ASSERT_TRUE(info) << error.localizedDescription().toStdString();
        EXPECT_NEAR(info->duration, c.length, kFrame);
        EXPECT_NEAR(lq::test::discoveredDuration(destination).value_or(0.0), c.length, kFrame);
        ASSERT_EQ(info->audioStreams.size(), 1);
        EXPECT_EQ(info->audioStreams.first().codec, lq::CodecId::kAac);
        ASSERT_EQ(info->videoStreams.size(), c.frame.isEmpty() ? 0 : 1);
        const lq::test::DecodedEnds decoded =
            lq::test::decodeToTheEnd(destination, true, !c.frame.isEmpty());
        EXPECT_NEAR(decoded.sound.value_or(0.0), c.length, kFrame);
        if (!c.frame.isEmpty()) {
            const lq::VideoStreamInfo &video = info->videoStreams.first();
            EXPECT_EQ(video.codec, lq::CodecId::kH264);
            EXPECT_EQ(QSize(video.width, video.height), c.frame);
            EXPECT_NEAR(decoded.pictures.value_or(0.0), c.length, kFrame);
        }
    }
    EXPECT_EQ(media(), before);
    EXPECT_EQ(alerts.count(), 0);
    EXPECT_EQ(exported().size(), std::size(cases)); // no temporary file left
}

TEST_F(WrenExportTest, AFailedOrCancelledExportWritesNothingAndTellsOnlyFailures)
{
    enum class Trouble { FolderThere, Cancelled, UnknownType, NoDestination };
    const QString folder = QDir(exports).filePath(QStringLiteral("folder.mov"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const struct
    {
        Trouble trouble;
        QString alert; // empty: none
        bool programError;
    } cases[] = {
        {Trouble::FolderThere,
         QStringLiteral("Error, %1 currently exists and is a directory").arg(folder), false},
        {Trouble::Cancelled, {}, false},
        {Trouble::UnknownType, {}, true},
        {Trouble::NoDestination, {}, true},
    };
    const QMap<QString, QByteArray> before = media();
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.trouble));
        lq::test::LogCapture log;
        lq::test::ScriptedAlertPresenter caseAlerts;
        progress.onTurn = [&] {
            if (c.trouble == Trouble::Cancelled)
                engine.cancelExporting();
        };
        const QString target = c.trouble == Trouble::FolderThere     ? folder
                               : c.trouble == Trouble::NoDestination ? QString()
                                                                     : exports + "/new.mov";
        EXPECT_FALSE(exportMedia({movie, gap(1.0), sound}, target,
                                 c.trouble == Trouble::UnknownType ? "ogg_export" : "mov_export"));
        if (c.alert.isEmpty()) {
            EXPECT_EQ(caseAlerts.count(), 0);
        } else {
            ASSERT_EQ(caseAlerts.count(), 1);
            EXPECT_EQ(caseAlerts.last().request.messageText, c.alert);
        }
        EXPECT_EQ(log.contains(QStringLiteral("Program error")), c.programError);
        EXPECT_TRUE(exported().isEmpty());
        EXPECT_EQ(media(), before);
    }
}

} // namespace
