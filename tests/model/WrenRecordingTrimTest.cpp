#include "model/WrenRecordingTestSupport.h"
#include "platform/foundation/FileOperations.h"
#include "support/FolderContents.h"
#include "support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

using Contents = QMap<QString, QByteArray>;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Cuts as the real engines do, without media: a new file "cut at <offset>" takes the first
// file's place (media are never rewritten in place) and the others go.
class CuttingPlaySession final : public LQPlaySession
{
public:
    bool addMediaPaths(const QList<LQMediaElement> &) override { return true; }
    bool addMediaFiles(const QStringList &names, const QString &folder) override
    {
        m_names = names;
        setPath(folder);
        return true;
    }
    bool startPlaying(std::optional<double>, bool) override { return false; }
    bool stopPlaying() override { return false; }
    bool setRate(float) override { return false; }
    bool currentTime(double *) override { return false; }
    bool length(double *) override { return false; }
    void setCurrentTime(double) override {}
    bool trimFrom(std::optional<double> offset, QStringList *newFiles) override
    {
        if (m_names.isEmpty())
            return false;
        const QDir dir(path());
        QFile::remove(dir.filePath(m_names.first()));
        writeFile(dir.filePath(m_names.first()),
                  QByteArray("cut at ") + QByteArray::number(offset.value_or(0.0)));
        for (qsizetype i = 1; i < m_names.size(); ++i)
            QFile::remove(dir.filePath(m_names[i]));
        *newFiles = QStringList{m_names.first()};
        return true;
    }
    bool exportMedia(const QString &, const QString &, LQExportProgress &,
                     std::optional<QSize>) override
    {
        return false;
    }
    void cancelExporting() override {}
    bool currentlyPlaying() const override { return false; }

private:
    QStringList m_names;
};

class CuttingEngines final : public LQEngineFactory
{
public:
    CuttingEngines() : m_previous(LQEngineFactory::setCurrent(this)) {}
    ~CuttingEngines() override { LQEngineFactory::setCurrent(m_previous); }
    CuttingEngines(const CuttingEngines &) = delete;
    CuttingEngines &operator=(const CuttingEngines &) = delete;

private:
    std::unique_ptr<LQRecSession> createRecordingEngine(Family) override { return nullptr; }
    std::unique_ptr<LQPlaySession> createPlaybackEngine(Family) override
    {
        return std::make_unique<CuttingPlaySession>();
    }

    LQEngineFactory *m_previous;
};

const double kLengths[] = {10.0, 20.0, 30.0};

class CropTest : public lq::test::RecordingTestBase
{
protected:
    CropTest()
    {
        recording.setTempDir(tempDir.path());
        for (int32_t k = 0; k < 3; ++k) {
            recording.addSession(finishedSession(kLengths[k], true, k == 1));
            const QStringList names{QStringLiteral("recording-%1.0.mov").arg(k),
                                    QStringLiteral("recording-%1.1.mov").arg(k)};
            recording.setRecordingFiles(names, k);
            for (const QString &name : names)
                writeFile(tempDir.filePath(name), name.toUtf8() + " bytes");
        }
        recording.setOwner(&owner);
        recording.loadController(&controller);
    }

    // The sessions as they stand: lengths, file lists and the temporary folder's files.
    struct State
    {
        std::vector<double> lengths;
        WrenRecording::RecordingFiles files;
        Contents contents;
        bool operator==(const State &) const = default;
    };

    State state() const
    {
        State now;
        for (int32_t k = 0; k < recording.sessionCount(); ++k) {
            double seconds = -1.0;
            recording.session(k)->length(&seconds);
            now.lengths.push_back(seconds);
        }
        now.files = recording.recordingFiles();
        now.contents = lq::test::folderContents(tempDir.path());
        return now;
    }

    void positionAt(int32_t session, double offset)
    {
        ASSERT_TRUE(recording.playSession(session, offset, std::nullopt, std::nullopt, true));
    }

    CuttingEngines cutting;
    WrenRecording recording;
};

struct CropCase
{
    const char *name;
    int32_t session; // -1: none current
    double offset;
    std::vector<double> lengths;
    QByteArray firstCut; // what the first cropped session's file holds
    int32_t firstCropped;
};

TEST_F(CropTest, KeepsWhatCameBeforeThePositionAndUndoesByteForByte)
{
    const CropCase cases[] = {
        {"inside session 1 of 3", 1, 5.0, {10.0, 5.0, 0.0}, "cut at 5", 1},
        {"inside session 0", 0, 2.5, {2.5, 0.0, 0.0}, "cut at 2.5", 0},
        {"no session current", -1, 0.0, {0.0, 0.0, 0.0}, "cut at 0", 0},
    };
    for (const CropCase &cropCase : cases) {
        SCOPED_TRACE(cropCase.name);
        const State before = state();
        if (cropCase.session >= 0)
            positionAt(cropCase.session, cropCase.offset);
        else
            recording.setCurrentSession(-1);

        ASSERT_TRUE(recording.trimFromNow());
        const State cropped = state();
        EXPECT_EQ(cropped.lengths, cropCase.lengths);
        for (int32_t k = 0; k < 3; ++k) {
            const QString first = QStringLiteral("recording-%1.0.mov").arg(k);
            const QString second = QStringLiteral("recording-%1.1.mov").arg(k);
            if (k < cropCase.firstCropped) {
                EXPECT_EQ(cropped.files.value(k), before.files.value(k)) << k;
                EXPECT_EQ(cropped.contents.value(first), before.contents.value(first)) << k;
                EXPECT_EQ(cropped.contents.value(second), before.contents.value(second)) << k;
                continue;
            }
            EXPECT_EQ(cropped.files.value(k), QStringList{first}) << k;
            EXPECT_EQ(cropped.contents.value(first),
                      k == cropCase.firstCropped ? cropCase.firstCut : QByteArray("cut at 0"))
                << k;
            EXPECT_FALSE(cropped.contents.contains(second)) << k;
        }
        EXPECT_EQ(owner.undo.undoActionName(), QStringLiteral("Crop"));
        EXPECT_EQ(recording.currentSession(), 0);
        EXPECT_FALSE(recording.playing());
        EXPECT_EQ(recording.movieView(), nullptr);

        owner.undo.undo();
        EXPECT_TRUE(state() == before);
        owner.undo.redo();
        EXPECT_TRUE(state() == cropped);
        owner.undo.undo();
        EXPECT_TRUE(state() == before);
        owner.undo.removeAllActions();
    }
}

TEST_F(CropTest, RefusedWhileRecordingOrPlaying)
{
    const State before = state();
    for (const bool recordingNow : {true, false}) {
        SCOPED_TRACE(recordingNow ? "recording" : "playing");
        positionAt(1, 5.0);
        recordingNow ? recording.setRecording(true) : recording.setPlaying(true);
        owner.undo.removeAllActions();
        EXPECT_FALSE(recording.trimFromNow());
        EXPECT_TRUE(state() == before);
        EXPECT_FALSE(owner.undo.canUndo());
        recording.setRecording(false);
        recording.setPlaying(false);
    }
}

TEST_F(CropTest, ASavedSessionsPackageFilesAreNeverChanged)
{
    const QString package = tempDir.filePath(QStringLiteral("note.lumaquill"));
    ASSERT_TRUE(QDir().mkpath(package));
    for (const QString &name : recording.recordingFiles().value(1))
        ASSERT_TRUE(QFile::rename(tempDir.filePath(name), QDir(package).filePath(name)));
    recording.setURL(QUrl::fromLocalFile(package));
    recording.session(1)->setSaved(true);
    // An older temporary copy gives way to the package's.
    writeFile(tempDir.filePath(QStringLiteral("recording-1.1.mov")), "older copy");
    const Contents packaged = lq::test::folderContents(package);

    positionAt(1, 5.0);
    ASSERT_TRUE(recording.trimFromNow());
    EXPECT_FALSE(recording.session(1)->saved());
    EXPECT_EQ(lq::test::folderContents(tempDir.path()).value(QStringLiteral("recording-1.0.mov")),
              QByteArray("cut at 5"));
    owner.undo.undo();
    EXPECT_EQ(lq::test::folderContents(tempDir.path()).value(QStringLiteral("recording-1.1.mov")),
              packaged.value(QStringLiteral("recording-1.1.mov")));
    owner.undo.redo();
    EXPECT_EQ(lq::test::folderContents(package), packaged);
}

TEST_F(CropTest, AFileThatCannotBeCopiedStopsTheCrop)
{
    const QString package = tempDir.filePath(QStringLiteral("note.lumaquill"));
    ASSERT_TRUE(QDir().mkpath(package));
    recording.setURL(QUrl::fromLocalFile(package)); // the package lacks session 2's files
    recording.session(2)->setSaved(true);
    const State before = state();
    lq::test::LogCapture log;

    positionAt(1, 5.0);
    EXPECT_FALSE(recording.trimFromNow());
    EXPECT_TRUE(log.contains(QStringLiteral("Error preparing recording files for crop")));
    // What was done stays, as one step to undo.
    EXPECT_EQ(state().contents.value(QStringLiteral("recording-1.0.mov")), QByteArray("cut at 5"));
    EXPECT_EQ(state().files.value(2), before.files.value(2));
    owner.undo.undo();
    EXPECT_TRUE(state() == before);
}

} // namespace
