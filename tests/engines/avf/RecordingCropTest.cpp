// Cropping a note's recording at the playhead with the program's own engines: the recorded
// session's files become one movie under the first name, which decodes to the cut with sound and
// pictures; the sessions' lengths follow the cut and the stamps stay; a failure at any step leaves
// every media file of the note as it was, byte for byte.

#include "engines/avf/MediaEngineFactory.h"
#include "model/ModelArchiveClasses.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "model/WrenTimeStamp.h"
#include "model/WrenTimerSession.h"
#include "platform/foundation/FileOperations.h"
#include "platform/media/MediaInfo.h"
#include "support/FakeRecordingOwner.h"
#include "support/FakeWindowController.h"
#include "support/FolderContents.h"
#include "support/IndependentReading.h"
#include "support/LogCapture.h"
#include "support/MediaFixtures.h"
#include "support/SmallTmpfs.h"
#include "support/TestUserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>

using namespace std::chrono_literals;
using lq::test::MediaFixture;
using lq::test::MediaFixtures;

namespace {

constexpr double kOneFrameOfSound = 1024.0 / 44100;
constexpr double kOnePicture = 0.1; // the fixtures' pictures

double lengthOf(const QString &path)
{
    lq::Error error;
    const std::optional<lq::MediaInfo> info = lq::MediaInfo::probe(path, 10s, &error);
    EXPECT_TRUE(info) << error.localizedDescription().toStdString();
    return info ? info->duration : -1.0;
}

// Each stamp's session and offset.
std::vector<std::pair<int32_t, double>> stampsOf(const WrenEvents &events)
{
    std::vector<std::pair<int32_t, double>> stamps;
    for (const WrenTimeStampPtr &stamp : events.getEvents())
        stamps.emplace_back(stamp->session(), stamp->offset());
    return stamps;
}

// A note's recording in a folder: a session of one movie, a session recorded into three files,
// and, unless told otherwise, a last session of sound; a few stamps in each.
class RecordingCropTest : public testing::Test
{
protected:
    void makeNote(const QString &folder, bool lastSession)
    {
        registerModelArchiveClasses();
        m_previousEngines = LQEngineFactory::setCurrent(&m_engines);
        recording = std::make_unique<WrenRecording>();
        recording->setTempDir(folder);
        addSession({MediaFixtures::path(MediaFixture::H264AacMov, 2.0)}, true);
        addSession(MediaFixtures::recordedSession(3, 2.0), true);
        if (lastSession)
            addSession({MediaFixtures::path(MediaFixture::AacMov, 2.0)}, false);
        recording->setOwner(&owner);
        recording->loadController(&controller);
    }

    void TearDown() override
    {
        if (recording)
            recording->close();
        recording.reset();
        if (m_previousEngines)
            LQEngineFactory::setCurrent(m_previousEngines);
    }

    void addSession(const QStringList &sources, bool video)
    {
        const int32_t index = recording->sessionCount();
        QStringList names;
        double length = 0.0;
        for (const QString &source : sources) {
            names.append(QStringLiteral("recording-%1.%2.mov").arg(index).arg(names.size()));
            const QString path = QDir(recording->tempDir()).filePath(names.last());
            ASSERT_TRUE(QFile::copy(source, path));
            length += lengthOf(path);
        }
        const auto session = WrenTimerSession::sessionWithLength(length);
        session->setHasAudio(true);
        session->setHasVideo(video);
        recording->addSession(session);
        recording->setRecordingFiles(names, index);
        for (uint32_t i = 0; i < 4; ++i) {
            recording->events().addEvent(
                WrenTimeStamp::initWithKey(uint32_t(index) * 4 + i, index, length * i / 4), false);
        }
    }

    std::vector<double> lengths() const
    {
        std::vector<double> seconds;
        for (int32_t k = 0; k < recording->sessionCount(); ++k) {
            double length = -1.0;
            recording->session(k)->length(&length);
            seconds.push_back(length);
        }
        return seconds;
    }

    QString mediaPath(const QString &name) const
    {
        return QDir(recording->tempDir()).filePath(name);
    }

    lq::test::TestUserDefaults defaults;
    QTemporaryDir folder;
    lq::test::FakeRecordingOwner owner;
    lq::test::FakeWindowController controller;
    std::unique_ptr<WrenRecording> recording;

private:
    MediaEngineFactory m_engines;
    LQEngineFactory *m_previousEngines = nullptr;
};

TEST_F(RecordingCropTest, TheRecordedSessionDecodesToTheCutWithSoundAndPictures)
{
    makeNote(folder.path(), true);
    const std::vector<double> before = lengths();
    const auto stamps = stampsOf(recording->events());
    const QMap<QString, QByteArray> media = lq::test::folderContents(folder.path());
    constexpr double kCut = 4.3; // in the third file
    ASSERT_TRUE(recording->playSession(1, kCut, std::nullopt, std::nullopt, true));

    ASSERT_TRUE(recording->trimFromNow());
    EXPECT_EQ(recording->recordingFiles().value(1), QStringList{"recording-1.0.mov"});
    EXPECT_EQ(recording->recordingFiles().value(2), QStringList{"recording-2.0.mov"});
    EXPECT_EQ(lq::test::folderContents(folder.path()).keys(),
              (QStringList{"recording-0.0.mov", "recording-1.0.mov", "recording-2.0.mov"}));
    const QString cut = mediaPath(QStringLiteral("recording-1.0.mov"));
    EXPECT_NEAR(lengthOf(cut), kCut, kOneFrameOfSound);
    EXPECT_NEAR(lq::test::discoveredDuration(cut).value_or(-1.0), kCut, kOneFrameOfSound);
    const lq::test::DecodedEnds decoded = lq::test::decodeToTheEnd(cut, true, true);
    EXPECT_NEAR(decoded.sound.value_or(-1.0), kCut, kOneFrameOfSound);
    EXPECT_NEAR(decoded.pictures.value_or(-1.0), kCut, kOnePicture);
    EXPECT_EQ(lengthOf(mediaPath(QStringLiteral("recording-2.0.mov"))), 0.0);
    // The session before is kept, the one cut ends at the cut, the later one is empty; the
    // stamps stay where they were.
    const std::vector<double> cropped = lengths();
    ASSERT_EQ(cropped.size(), 3u);
    EXPECT_DOUBLE_EQ(cropped[0], before[0]);
    EXPECT_NEAR(cropped[1], kCut, 1e-6);
    EXPECT_DOUBLE_EQ(cropped[2], 0.0);
    EXPECT_EQ(stampsOf(recording->events()), stamps);

    owner.undo.undo();
    EXPECT_EQ(lq::test::folderContents(folder.path()), media);
    EXPECT_EQ(lengths(), before);
}

struct FailureCase
{
    const char *name;
    QStringList failingSteps; // of the file operations in the note's folder
    std::function<void(const QString &folder)> prepare;
    bool smallDisk = false;
};

TEST_F(RecordingCropTest, AFailureAtAnyStepLeavesEveryMediaFileAsItWas)
{
    const auto leaveCut = [](const QString &folder) {
        QFile cut(QDir(folder).filePath(QStringLiteral("tempCrop")));
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        cut.write("an earlier cut");
    };
    const auto spoilSecondFile = [](const QString &folder) {
        QFile second(QDir(folder).filePath(QStringLiteral("recording-1.1.mov")));
        ASSERT_TRUE(second.open(QIODevice::ReadWrite));
        second.resize(second.size() / 2); // its header was at its end
    };
    const FailureCase cases[] = {
        {"the files cannot be kept for the undo", {"hardLink", "copy"}, {}},
        {"the earlier cut cannot be removed", {"remove"}, leaveCut},
        {"the cut cannot be written to the disk", {"sync"}, {}},
        {"the cut cannot take its place", {"replace"}, {}},
        {"a file is damaged", {}, spoilSecondFile},
        {"the disk is full", {}, {}, true},
    };
    for (const FailureCase &failureCase : cases) {
        SCOPED_TRACE(failureCase.name);
        QTemporaryDir place;
        std::unique_ptr<lq::test::SmallTmpfs> disk;
        QString noteFolder = place.path();
        if (failureCase.smallDisk) {
            qint64 size = 0;
            for (const QString &file : MediaFixtures::recordedSession(3, 2.0))
                size += QFileInfo(file).size();
            disk = std::make_unique<lq::test::SmallTmpfs>(
                size * 3 / 2 +
                QFileInfo(MediaFixtures::path(MediaFixture::H264AacMov, 2.0)).size());
            if (!disk->mounted()) {
                std::cout << "Skipped: " << disk->whyNot().toStdString() << '\n';
                continue;
            }
            noteFolder = disk->path();
        }
        makeNote(noteFolder, false);
        if (failureCase.prepare)
            failureCase.prepare(noteFolder);
        const QMap<QString, QByteArray> media = lq::test::folderContents(noteFolder);
        const std::vector<double> before = lengths();
        ASSERT_TRUE(recording->playSession(1, 4.3, std::nullopt, std::nullopt, true));

        const QStringList steps = failureCase.failingSteps;
        lq::FailingFileOperations failing(
            [steps, noteFolder](const QString &operation, const QString &target) {
                return steps.contains(operation) && target.startsWith(noteFolder);
            });
        lq::FileOperations *previous = lq::FileOperations::setCurrent(&failing);
        lq::test::LogCapture log;
        const bool cropped = recording->trimFromNow();
        lq::FileOperations::setCurrent(previous);

        EXPECT_FALSE(cropped);
        EXPECT_EQ(lq::test::folderContents(noteFolder), media);
        EXPECT_EQ(lengths(), before);
        TearDown();
    }
}

} // namespace
