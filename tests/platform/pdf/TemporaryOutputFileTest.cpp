#include "platform/pdf/TemporaryOutputFile.h"

#include "platform/foundation/FileOperations.h"
#include "platform/pdf/PdfTestFiles.h"

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

class TemporaryOutputFileTest : public testing::Test
{
protected:
    QString pathOf(const QString &name) const { return folder.filePath(name); }
    QStringList filesInFolder() const
    {
        return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    }

    QTemporaryDir folder;
};

TEST_F(TemporaryOutputFileTest, AppearsOnlyWhenCommitted)
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

TEST_F(TemporaryOutputFileTest, AFailedReplaceLeavesTheDestinationAsItWas)
{
    const QString target = pathOf("out.bin");
    ASSERT_TRUE(writeContents(target, "old contents"));
    FailingFileOperations failing(
        [](const QString &operation, const QString &) { return operation == "replace"; });
    FileOperations *previous = FileOperations::setCurrent(&failing);
    {
        TemporaryOutputFile output(target);
        ASSERT_TRUE(output.open(nullptr));
        std::fputs("new contents", output.stream());
        Error error;
        EXPECT_FALSE(output.commit(&error));
        EXPECT_FALSE(error.localizedDescription().isEmpty());
    }
    FileOperations::setCurrent(previous);
    EXPECT_EQ(contentsOf(target), "old contents");
    EXPECT_THAT(filesInFolder(), UnorderedElementsAre("out.bin"));
}

} // namespace
} // namespace lq
