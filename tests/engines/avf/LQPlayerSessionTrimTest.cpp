#include "engines/avf/LQPlayerSession.h"
#include "platform/foundation/FileOperations.h"
#include "platform/media/MediaInfo.h"
#include "support/LogCapture.h"
#include "support/MediaFixtures.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace std::chrono_literals;
using lq::test::MediaFixture;
using lq::test::MediaFixtures;

namespace {

constexpr double kCutTolerance = 0.03;
const QStringList kNames{QStringLiteral("recording-1.0.mov"), QStringLiteral("recording-1.1.mov"),
                         QStringLiteral("recording-1.2.mov")};

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file of a folder with its bytes.
QMap<QString, QByteArray> folderContents(const QString &folder)
{
    QMap<QString, QByteArray> contents;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
        contents.insert(name, contentsOf(dir.filePath(name)));
    return contents;
}

// The three files of one session in a folder of their own.
class Recording
{
public:
    Recording()
    {
        for (const QString &name : kNames) {
            EXPECT_TRUE(
                QFile::copy(MediaFixtures::path(MediaFixture::H264AacMov, 2.0), path(name)));
        }
    }

    QString folder() const { return m_folder.path(); }
    QString path(const QString &name) const { return m_folder.filePath(name); }
    QMap<QString, QByteArray> contents() const { return folderContents(folder()); }
    void write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

private:
    QTemporaryDir m_folder;
};

struct TrimCase
{
    const char *name;
    std::optional<double> offset;
    QByteArray leftover; // an earlier run's "tempCrop"; empty: none
    double length;
};

TEST(LQPlayerSessionTrimTest, LeavesOneMovieUnderTheFirstName)
{
    const TrimCase cases[] = {
        {"inside the second file", 3.05, {}, 3.05},
        {"with a leftover cut", 1.0, QByteArray("an earlier cut"), 1.0},
    };
    for (const TrimCase &trimCase : cases) {
        SCOPED_TRACE(trimCase.name);
        const Recording recording;
        if (!trimCase.leftover.isEmpty())
            recording.write(QStringLiteral("tempCrop"), trimCase.leftover);
        LQPlayerSession engine;
        ASSERT_TRUE(engine.addMediaFiles(kNames, recording.folder()));
        QStringList newFiles;
        ASSERT_TRUE(engine.trimFrom(trimCase.offset, &newFiles));
        EXPECT_EQ(newFiles, QStringList{kNames.first()});
        EXPECT_EQ(recording.contents().keys(), QStringList{kNames.first()});
        lq::Error error;
        const std::optional<lq::MediaInfo> info =
            lq::MediaInfo::probe(recording.path(kNames.first()), 10s, &error);
        ASSERT_TRUE(info) << error.localizedDescription().toStdString();
        EXPECT_NEAR(info->duration, trimCase.length, kCutTolerance);
        // Nothing stays loaded.
        EXPECT_FALSE(engine.trimFrom(1.0, &newFiles));
        EXPECT_EQ(engine.composition(), nullptr);
    }
}

struct FailureCase
{
    const char *name;
    std::optional<double> offset;
    std::function<void(const Recording &)> prepare;
    const char *failingStep; // of the file operations on the folder; none: they work
    bool loaded = true;
};

TEST(LQPlayerSessionTrimTest, FailuresKeepTheOriginalFiles)
{
    const auto leaveCut = [](const Recording &recording) {
        recording.write(QStringLiteral("tempCrop"), "an earlier cut");
    };
    const auto spoilSecondFile = [](const Recording &recording) {
        recording.write(kNames[1], QByteArray("Not a movie.\n").repeated(100));
    };
    const FailureCase cases[] = {
        {"negative offset", -0.5, {}, nullptr},
        {"nothing loaded", 1.0, {}, nullptr, false},
        {"a file that is no movie", 3.0, spoilSecondFile, nullptr},
        {"the leftover cut stays", 3.0, leaveCut, "remove"},
        {"the cut cannot take the first file's place", 3.0, {}, "replace"},
        {"the cut cannot be synced", 3.0, {}, "sync"},
    };
    for (const FailureCase &failureCase : cases) {
        SCOPED_TRACE(failureCase.name);
        const Recording recording;
        if (failureCase.prepare)
            failureCase.prepare(recording);
        const QMap<QString, QByteArray> before = recording.contents();
        LQPlayerSession engine;
        if (failureCase.loaded) {
            ASSERT_TRUE(engine.addMediaFiles(kNames, recording.folder()));
        }

        const char *step = failureCase.failingStep;
        const QString folder = recording.folder();
        lq::FailingFileOperations failing(
            [step, folder](const QString &operation, const QString &target) {
                return step && operation == QLatin1String(step) && target.startsWith(folder);
            });
        lq::FileOperations *previous = lq::FileOperations::setCurrent(&failing);
        lq::test::LogCapture log;
        QStringList newFiles{QStringLiteral("untouched")};
        const bool trimmed = engine.trimFrom(failureCase.offset, &newFiles);
        lq::FileOperations::setCurrent(previous);

        EXPECT_FALSE(trimmed);
        EXPECT_EQ(newFiles, QStringList{QStringLiteral("untouched")});
        EXPECT_EQ(recording.contents(), before);
    }
}

} // namespace
