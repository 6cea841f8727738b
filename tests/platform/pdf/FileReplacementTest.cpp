#include "platform/pdf/FileReplacement.h"

#include "platform/foundation/FileOperations.h"
#include "platform/pdf/PdfTestFiles.h"
#include "platform/pdf/TemporaryOutputFile.h"

#include <QDir>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace lq {
namespace {

using test::contentsOf;
using test::writeContents;
using testing::UnorderedElementsAre;

class FileReplacementTest : public testing::Test
{
protected:
    QString pathOf(const QString &name) const { return folder.filePath(name); }
    QStringList filesInFolder() const
    {
        return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    }

    // Makes the moves onto destination whose numbers (from 1) shouldFail picks fail.
    void failMovesOnto(const QString &destination, std::function<bool(int)> shouldFail)
    {
        failing = std::make_unique<FailingFileOperations>(
            [destination, shouldFail, moves = 0](const QString &operation,
                                                 const QString &path) mutable {
                return operation == "move" && path == destination && shouldFail(++moves);
            });
        previous = FileOperations::setCurrent(failing.get());
    }

    void restoreFileOperations()
    {
        FileOperations::setCurrent(previous);
        failing.reset();
    }

    void TearDown() override
    {
        if (failing)
            restoreFileOperations();
    }

    QTemporaryDir folder;
    std::unique_ptr<FailingFileOperations> failing;
    FileOperations *previous = nullptr;
};

TEST_F(FileReplacementTest, MovesOntoANewOrAnExistingFile)
{
    ASSERT_TRUE(writeContents(pathOf("new"), "new contents"));
    ASSERT_TRUE(FileReplacement::moveOnto(pathOf("new"), pathOf("target"), nullptr));
    EXPECT_EQ(contentsOf(pathOf("target")), "new contents");

    ASSERT_TRUE(writeContents(pathOf("newer"), "newer contents"));
    Error error;
    ASSERT_TRUE(FileReplacement::moveOnto(pathOf("newer"), pathOf("target"), &error))
        << qPrintable(error.localizedDescription());
    EXPECT_EQ(contentsOf(pathOf("target")), "newer contents");
    EXPECT_THAT(filesInFolder(), UnorderedElementsAre("target"));
}

TEST_F(FileReplacementTest, EndsReplacedOrUntouchedWhicheverMoveFails)
{
    struct Case
    {
        const char *name;
        std::function<bool(int)> shouldFail;
        bool mustFail;
    };
    // Whether moves replace files or refuse to, one failing move anywhere is survived.
    const Case cases[] = {
        {"every move", [](int) { return true; }, true},
        {"first move", [](int move) { return move == 1; }, false},
        {"second move", [](int move) { return move == 2; }, false},
        {"third move", [](int move) { return move == 3; }, false},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(writeContents(pathOf("new"), "new contents"));
        ASSERT_TRUE(writeContents(pathOf("target"), "old contents"));
        failMovesOnto(pathOf("target"), c.shouldFail);
        Error error;
        const bool moved = FileReplacement::moveOnto(pathOf("new"), pathOf("target"), &error);
        restoreFileOperations();
        if (moved) {
            EXPECT_EQ(contentsOf(pathOf("target")), "new contents") << c.name;
            EXPECT_THAT(filesInFolder(), UnorderedElementsAre("target")) << c.name;
        } else {
            EXPECT_FALSE(error.localizedDescription().isEmpty()) << c.name;
            EXPECT_EQ(contentsOf(pathOf("target")), "old contents") << c.name;
            EXPECT_EQ(contentsOf(pathOf("new")), "new contents") << c.name;
            EXPECT_THAT(filesInFolder(), UnorderedElementsAre("new", "target")) << c.name;
        }
        EXPECT_FALSE(moved && c.mustFail) << c.name;
    }
}

TEST_F(FileReplacementTest, TemporaryOutputFileAppearsOnlyWhenCommitted)
{
    const QString target = pathOf("out.bin");
    {
        TemporaryOutputFile output(target);
        ASSERT_TRUE(output.open(nullptr));
        ASSERT_EQ(std::fputs("dropped", output.stream()), 1);
    }
    EXPECT_THAT(filesInFolder(), testing::IsEmpty());

    TemporaryOutputFile output(target);
    Error error;
    ASSERT_TRUE(output.open(&error)) << qPrintable(error.localizedDescription());
    std::fputs("kept", output.stream());
    EXPECT_FALSE(QFileInfo::exists(target));
    ASSERT_TRUE(output.commit(&error)) << qPrintable(error.localizedDescription());
    EXPECT_EQ(contentsOf(target), "kept");
    EXPECT_THAT(filesInFolder(), UnorderedElementsAre("out.bin"));

    // Created like any new file: the umask decides, not a private temporary-file mode.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

} // namespace
} // namespace lq
