#include "document/LQOldMediaConverter.h"

#include "platform/media/MediaInfo.h"
#include "platform/media/MediaPlayability.h"
#include "support/LogCapture.h"
#include "support/MediaFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using lq::test::MediaFixture;
using lq::test::MediaFixtures;

namespace {

constexpr double kDurationTolerance = 0.1;

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

double durationOf(const QString &path)
{
    lq::Error error;
    const std::optional<lq::MediaInfo> info = lq::MediaInfo::probe(path, 10s, &error);
    EXPECT_TRUE(info) << error.localizedDescription().toStdString();
    return info ? info->duration : -1.0;
}

bool playable(const QString &path)
{
    return lq::MediaPlayability(lq::MediaPlayability::SelfReport::Never).isPlayable(path);
}

class LQOldMediaConverterTest : public testing::Test
{
protected:
    QString copyOf(MediaFixture fixture, const QString &name) const
    {
        const QString path = m_sources.filePath(name);
        EXPECT_TRUE(QFile::copy(MediaFixtures::path(fixture, 2.0), path));
        return path;
    }

    QTemporaryDir m_temporary; // the recording's temporary folder
    QTemporaryDir m_sources;
};

TEST_F(LQOldMediaConverterTest, ConvertsWhatThePlayerCannotPlayIntoAMovieItPlays)
{
    const MediaFixture unplayable[] = {MediaFixture::VorbisOgg, MediaFixture::AlacMov,
                                       MediaFixture::Mp3, MediaFixture::TwoH264Mov};
    for (const MediaFixture fixture : unplayable) {
        const QString source = MediaFixtures::path(fixture, 2.0);
        SCOPED_TRACE(source.toStdString());
        ASSERT_FALSE(playable(source));
        const QString destination = m_sources.filePath(QStringLiteral("converted.mov"));
        {
            LQOldMediaConverter converter(m_temporary.path());
            ASSERT_TRUE(converter.convertFile(source, 0));
            EXPECT_EQ(QFileInfo(converter.outputFile()).absolutePath(),
                      QDir(m_temporary.path()).absolutePath());
            EXPECT_TRUE(QFileInfo(converter.outputFile())
                            .fileName()
                            .startsWith(QStringLiteral("converter-")));
            EXPECT_TRUE(converter.outputFile().endsWith(QStringLiteral(".mp4")));
            QString error;
            EXPECT_TRUE(converter.outputOpens(&error)) << error.toStdString();
            converter.saveAsMovFile(destination);
            EXPECT_EQ(entriesOf(m_temporary.path()),
                      QStringList{QFileInfo(converter.outputFile()).fileName()});
        }
        // The converter takes its file with it.
        EXPECT_EQ(entriesOf(m_temporary.path()), QStringList());
        EXPECT_TRUE(playable(destination));
        EXPECT_NEAR(durationOf(destination), durationOf(source), kDurationTolerance);
    }
}

TEST_F(LQOldMediaConverterTest, ASourceThatIsNoMediaLeavesNothing)
{
    const QString notMedia = m_sources.filePath(QStringLiteral("notes.txt"));
    {
        QFile file(notMedia);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("Not a movie.\n").repeated(100));
    }
    const QString missing = m_sources.filePath(QStringLiteral("gone.mov"));
    for (const QString &source : {notMedia, missing}) {
        SCOPED_TRACE(source.toStdString());
        lq::test::LogCapture log;
        LQOldMediaConverter converter(m_temporary.path());
        EXPECT_FALSE(converter.convertFile(source, 0));
        EXPECT_EQ(converter.outputFile(), QString());
        QString error;
        EXPECT_FALSE(converter.outputOpens(&error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(entriesOf(m_temporary.path()), QStringList());
    }
}

TEST_F(LQOldMediaConverterTest, SavesOnlyAConvertedMovie)
{
    const QString source = copyOf(MediaFixture::VorbisOgg, QStringLiteral("sound.ogg"));
    const QByteArray original = contentsOf(source);
    LQOldMediaConverter converter(m_temporary.path());

    // Before converting: nothing happens, even over the source itself.
    converter.saveAsMovFile(source);
    EXPECT_EQ(contentsOf(source), original);

    // Onto the source's own path: the movie takes the source's place.
    ASSERT_TRUE(converter.convertFile(source, 2));
    converter.saveAsMovFile(source);
    EXPECT_TRUE(playable(source));
    EXPECT_EQ(entriesOf(m_sources.path()), QStringList{QStringLiteral("sound.ogg")});

    // A folder in the way stays, and nothing else is written.
    const QString folder = m_sources.filePath(QStringLiteral("folder.mov"));
    ASSERT_TRUE(QDir().mkpath(folder));
    lq::test::LogCapture log;
    converter.saveAsMovFile(folder);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(log.contains(QStringLiteral("it is a directory")));

    converter.cleanup();
    EXPECT_EQ(converter.outputFile(), QString());
    EXPECT_EQ(entriesOf(m_temporary.path()), QStringList());
}

} // namespace
