#include "platform/foundation/FileOperations.h"

#include "support/SmallTmpfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace lq {
namespace {

using namespace Qt::StringLiterals;
namespace fs = std::filesystem;

// Every entry under root with its kind and contents or link target, to compare whole trees.
QStringList treeOf(const QString &root)
{
    QStringList entries;
    const fs::path base(root.toStdString());
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(base)) {
        const QString name = QString::fromStdString(entry.path().lexically_relative(base).string());
        if (entry.is_symlink()) {
            entries.append(name + u" -> "_s +
                           QString::fromStdString(fs::read_symlink(entry).string()));
        } else if (entry.is_directory()) {
            entries.append(name + u'/');
        } else {
            QFile file(QString::fromStdString(entry.path().string()));
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            entries.append(name + u": "_s + QString::fromUtf8(file.readAll()));
        }
    }
    entries.sort();
    return entries;
}

class FileOperationsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir(root).mkpath(u"folder/inner"_s));
        write(u"file.txt"_s, "file");
        write(u"folder/a.txt"_s, "a");
        write(u"folder/inner/b.txt"_s, "b");
        ASSERT_TRUE(local.symbolicLink(u"a.txt"_s, at(u"folder/link"_s), nullptr));
        ASSERT_TRUE(local.symbolicLink(u"missing"_s, at(u"folder/dangling"_s), nullptr));
    }

    QString at(const QString &name) const { return tmp.filePath(name); }
    void write(const QString &name, const QByteArray &bytes)
    {
        QFile file(at(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QTemporaryDir tmp;
    const QString root = tmp.path();
    LocalFileOperations local;
};

TEST_F(FileOperationsTest, CopyFileAndFolderWithLinksInside)
{
    ASSERT_TRUE(local.copy(at(u"file.txt"_s), at(u"copy.txt"_s), nullptr));
    ASSERT_TRUE(local.copy(at(u"folder"_s), at(u"copy"_s), nullptr));
    const QStringList tree = treeOf(root);
    EXPECT_TRUE(tree.contains(u"copy.txt: file"_s));
    for (const QString &entry : treeOf(at(u"folder"_s)))
        EXPECT_TRUE(tree.contains(u"copy/"_s + entry)) << qPrintable(entry);
    EXPECT_FALSE(local.isSameFile(at(u"file.txt"_s), at(u"copy.txt"_s)));
}

// Runs an operation by name on from and to; the one-path calls take to. A link read counts as
// done when it answers a target.
bool run(FileOperations &files, const char *operation, const QString &from, const QString &to,
         Error *error)
{
    const QLatin1StringView name(operation);
    if (name == "copy"_L1)
        return files.copy(from, to, error);
    if (name == "hardLink"_L1)
        return files.hardLink(from, to, error);
    if (name == "symbolicLink"_L1)
        return files.symbolicLink(from, to, error);
    if (name == "readLink"_L1)
        return !files.readLink(to, error).isEmpty();
    if (name == "remove"_L1)
        return files.remove(to, error);
    if (name == "replace"_L1)
        return files.replace(from, to, error);
    if (name == "exchange"_L1)
        return files.exchange(from, to, error);
    if (name == "sync"_L1)
        return files.sync(to, error);
    return files.move(from, to, error);
}

struct Failure
{
    const char *operation;
    const char *from;
    const char *to; // named in the message
    int code;
};

TEST_F(FileOperationsTest, FailuresAnswerAnErrnoAndASentenceAndChangeNothing)
{
    const std::vector<Failure> table{
        {"copy", "file.txt", "folder/a.txt", EEXIST},
        {"copy", "file.txt", "folder/dangling", EEXIST},
        {"copy", "nothing", "new", ENOENT},
        {"copy", "folder", "none/new", ENOENT},
        {"copy", "folder", "folder/inner/again", EINVAL}, // into itself
        {"hardLink", "file.txt", "folder/a.txt", EEXIST},
        {"hardLink", "nothing", "new", ENOENT},
        {"symbolicLink", "x", "folder/link", EEXIST},
        {"readLink", "", "file.txt", EINVAL},
        {"readLink", "", "nothing", ENOENT},
        {"remove", "", "nothing", ENOENT},
        {"move", "file.txt", "folder/a.txt", EEXIST},
        {"move", "file.txt", "folder/dangling", EEXIST},
        {"move", "folder", "folder/inner/again", EINVAL},
        {"move", "nothing", "new", ENOENT},
        {"replace", "nothing", "file.txt", ENOENT},
        {"replace", "file.txt", "none/new", ENOENT},
        {"exchange", "file.txt", "nothing", ENOENT},
        {"sync", "", "nothing", ENOENT},
    };
    const QStringList before = treeOf(root);
    for (const Failure &row : table) {
        SCOPED_TRACE(std::string(row.operation) + ' ' + row.from + ' ' + row.to);
        Error error;
        EXPECT_FALSE(run(local, row.operation, at(QString::fromUtf8(row.from)),
                         at(QString::fromUtf8(row.to)), &error));
        EXPECT_EQ(error.domain(), u"file"_s);
        EXPECT_EQ(error.code(), row.code);
        const QString sentence = error.localizedDescription();
        EXPECT_TRUE((sentence.startsWith(u"The ") || sentence.startsWith(u"A ")) &&
                    sentence.endsWith(u'.') && sentence.contains(at(QString::fromUtf8(row.to))))
            << sentence.toStdString();
        EXPECT_EQ(treeOf(root), before);
    }
    Error error;
    local.copy(at(u"file.txt"_s), at(u"folder/a.txt"_s), &error);
    EXPECT_EQ(error.localizedDescription(),
              u"The file “%1” could not be copied to “%2” because it already exists."_s.arg(
                  at(u"file.txt"_s), at(u"folder/a.txt"_s)));
}

TEST_F(FileOperationsTest, LinksAndIdentity)
{
    EXPECT_TRUE(local.hardLink(at(u"file.txt"_s), at(u"hard"_s), nullptr));
    EXPECT_TRUE(local.isSameFile(at(u"file.txt"_s), at(u"hard"_s)));
    EXPECT_TRUE(
        local.isSameFile(at(u"folder/a.txt"_s), at(u"folder/link"_s))); // links are followed
    EXPECT_FALSE(local.isSameFile(at(u"file.txt"_s), at(u"nothing"_s)));

    EXPECT_TRUE(local.symbolicLink(u"../x/ünïcode"_s, at(u"relative"_s), nullptr));
    EXPECT_EQ(local.readLink(at(u"relative"_s), nullptr), u"../x/ünïcode"_s);
    const QString longTarget(1000, u'n');
    EXPECT_TRUE(local.symbolicLink(longTarget, at(u"long"_s), nullptr));
    EXPECT_EQ(local.readLink(at(u"long"_s), nullptr), longTarget);

    EXPECT_TRUE(local.exists(at(u"folder/dangling"_s)));
    EXPECT_TRUE(local.exists(at(u"folder"_s)));
    EXPECT_FALSE(local.exists(at(u"nothing"_s)));
}

TEST_F(FileOperationsTest, RemoveTakesTheLinkNotItsTargetAndFoldersWhole)
{
    ASSERT_TRUE(local.symbolicLink(at(u"folder"_s), at(u"folderLink"_s), nullptr));
    ASSERT_TRUE(local.symbolicLink(at(u"file.txt"_s), at(u"folder/inner/out"_s), nullptr));
    EXPECT_TRUE(local.remove(at(u"folderLink"_s), nullptr));
    EXPECT_TRUE(local.remove(at(u"folder/link"_s), nullptr));
    EXPECT_TRUE(local.exists(at(u"folder/a.txt"_s)));
    EXPECT_TRUE(local.remove(at(u"folder"_s), nullptr));
    EXPECT_EQ(treeOf(root), QStringList{u"file.txt: file"_s});
    EXPECT_TRUE(local.remove(at(u"file.txt"_s), nullptr));
    EXPECT_TRUE(treeOf(root).isEmpty());
}

TEST_F(FileOperationsTest, MoveRenamesAndReplaceTakesThePlaceOfAnExistingFile)
{
    const QStringList folder = treeOf(at(u"folder"_s));
    EXPECT_TRUE(local.move(at(u"folder"_s), at(u"moved"_s), nullptr));
    EXPECT_FALSE(local.exists(at(u"folder"_s)));
    EXPECT_EQ(treeOf(at(u"moved"_s)), folder);

    ASSERT_TRUE(local.copy(at(u"file.txt"_s), at(u"copy.txt"_s), nullptr));
    EXPECT_TRUE(local.replace(at(u"copy.txt"_s), at(u"moved/a.txt"_s), nullptr));
    EXPECT_FALSE(local.exists(at(u"copy.txt"_s)));
    EXPECT_TRUE(treeOf(root).contains(u"moved/a.txt: file"_s));

    EXPECT_TRUE(local.exchange(at(u"file.txt"_s), at(u"moved"_s), nullptr));
    EXPECT_EQ(treeOf(at(u"file.txt"_s)).size(), folder.size());
    EXPECT_TRUE(treeOf(root).contains(u"moved: file"_s));
}

// A folder on another file system than root, or an invalid one.
bool onOtherFileSystem(const QTemporaryDir &other, const QString &root)
{
    struct stat here, there;
    return other.isValid() && ::stat(qPrintable(root), &here) == 0 &&
           ::stat(qPrintable(other.path()), &there) == 0 && here.st_dev != there.st_dev;
}

TEST_F(FileOperationsTest, MoveAcrossFileSystemsCopiesThenRemoves)
{
    QTemporaryDir other(u"/dev/shm/lq-move-XXXXXX"_s);
    if (!onOtherFileSystem(other, root))
        GTEST_SKIP() << "no second file system at /dev/shm";
    const QStringList folder = treeOf(at(u"folder"_s));
    const QString destination = other.filePath(u"moved"_s);
    EXPECT_TRUE(local.move(at(u"folder"_s), destination, nullptr));
    EXPECT_FALSE(local.exists(at(u"folder"_s)));
    EXPECT_EQ(treeOf(destination), folder);
}

TEST_F(FileOperationsTest, HardLinkAcrossFileSystemsSaysSoAndACopyCanTakeOver)
{
    QTemporaryDir other(u"/dev/shm/lq-link-XXXXXX"_s);
    if (!onOtherFileSystem(other, root))
        GTEST_SKIP() << "no second file system at /dev/shm";
    const QString link = other.filePath(u"link"_s);
    Error error;
    EXPECT_FALSE(local.hardLink(at(u"file.txt"_s), link, &error));
    EXPECT_TRUE(FileOperations::isCrossDevice(error));
    EXPECT_EQ(
        error.localizedDescription(),
        u"A link to “%1” could not be made at “%2” because the two lie on different volumes."_s.arg(
            at(u"file.txt"_s), link));
    EXPECT_FALSE(FileOperations::isCrossDevice(Error(u"other"_s, EXDEV, u"Elsewhere."_s)));
    EXPECT_TRUE(local.copy(at(u"file.txt"_s), link, nullptr));
    EXPECT_EQ(treeOf(other.path()), QStringList{u"link: file"_s});
}

struct FullDiskCopy
{
    const char *name;
    QStringList files; // under the source, each bigger than the disk
};

TEST(FileOperationsFullDiskTest, CopyOntoAFullDiskSaysThereIsNotEnoughSpaceAndLeavesNothing)
{
    test::SmallTmpfs disk(256 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << qPrintable(disk.whyNot());
    const std::vector<FullDiskCopy> table{
        {"one file", {u""_s}},
        {"a folder", {u"small"_s, u"inner/big"_s}},
    };
    QTemporaryDir sources;
    LocalFileOperations local;
    for (const FullDiskCopy &row : table) {
        SCOPED_TRACE(row.name);
        const QString source = sources.filePath(QString::fromLatin1(row.name));
        for (const QString &file : row.files) {
            const QString path = file.isEmpty() ? source : source + u'/' + file;
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile out(path);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(QByteArray(file == u"small"_s ? 100 : 1024 * 1024, 'x'));
        }
        const QString destination = disk.path() + u"/copy"_s;
        Error error;
        EXPECT_FALSE(local.copy(source, destination, &error));
        EXPECT_EQ(error.code(), ENOSPC);
        EXPECT_EQ(
            error.localizedDescription(),
            u"The file “%1” could not be copied to “%2” because there isn't enough space."_s.arg(
                source, destination));
        EXPECT_TRUE(QDir(disk.path()).isEmpty());
    }
}

// A copy or a move racing with another party that creates the destination: whoever comes
// second fails, and what the other made is never removed or overwritten.
TEST_F(FileOperationsTest, CopyAndMoveNeverTouchWhatAnotherPartyMakesMeanwhile)
{
    QTemporaryDir memory(u"/dev/shm/lq-race-XXXXXX"_s); // syncs cost nothing there
    const QString folder = memory.isValid() ? memory.path() : root;
    const QString ours = folder + u"/ours"_s;
    const QString destination = folder + u"/contested"_s;
    const QByteArray nativeDestination = QFile::encodeName(destination);
    for (const char *operation : {"copy", "move"}) {
        SCOPED_TRACE(operation);
        int lost = 0;
        for (int round = 0; round < 100; ++round) {
            QFile source(ours);
            ASSERT_TRUE(source.open(QIODevice::WriteOnly) && source.write("ours") == 4);
            source.close();
            std::atomic<bool> ready{false};
            std::atomic<bool> go{false};
            bool theyMadeIt = false;
            std::thread other([&] {
                ready.store(true);
                while (!go.load()) {
                }
                // A later start each round, so the creation sweeps across the whole call.
                for (std::atomic<int> spin = 0; spin.load() < round * 40; spin.fetch_add(1)) {
                }
                const int file = ::open(nativeDestination.constData(),
                                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
                theyMadeIt = file >= 0;
                if (theyMadeIt) {
                    EXPECT_EQ(::write(file, "theirs", 6), 6);
                    ::close(file);
                }
            });
            while (!ready.load()) {
            }
            go.store(true);
            const bool done = run(local, operation, ours, destination, nullptr);
            other.join();
            QFile result(destination);
            const QByteArray contents = result.open(QIODevice::ReadOnly) ? result.readAll() : "";
            if (done == theyMadeIt || contents != (theyMadeIt ? "theirs" : "ours"))
                ++lost;
            QFile::remove(destination);
            QFile::remove(ours);
        }
        EXPECT_EQ(lost, 0);
    }
}

struct SyncedPublishing
{
    const char *operation;
    const char *from;
    const char *to;
    QStringList synced; // in order
};

// Each call that publishes syncs what it wrote and the folders it changed; when a sync fails the
// call fails, and a file synced before the rename keeps the destination as it was.
TEST_F(FileOperationsTest, PublishingSyncsTheFileAndThenTheFoldersAndFailsWhenASyncFails)
{
    const auto fresh = [&] {
        ASSERT_TRUE(QDir(root).removeRecursively());
        SetUp();
        ASSERT_TRUE(QDir(root).mkpath(u"other"_s));
    };
    fresh();
    const std::vector<SyncedPublishing> table{
        {"replace", "file.txt", "folder/a.txt", {u"file.txt"_s, u"folder"_s, u""_s}},
        {"replace",
         "folder/inner/b.txt",
         "folder/a.txt",
         {u"folder/inner/b.txt"_s, u"folder"_s, u"folder/inner"_s}},
        {"copy", "folder", "other/copy", {u"other"_s}},
        {"move", "file.txt", "other/moved", {u"other"_s, u""_s}},
        {"hardLink", "file.txt", "other/hard", {u"other"_s}},
        {"symbolicLink", "file.txt", "other/soft", {u"other"_s}},
        {"exchange", "file.txt", "other", {u""_s}},
    };
    for (const SyncedPublishing &row : table) {
        SCOPED_TRACE(std::string(row.operation) + ' ' + row.from + ' ' + row.to);
        const QString from = at(QString::fromUtf8(row.from));
        const QString to = at(QString::fromUtf8(row.to));
        QStringList expected;
        for (const QString &name : row.synced)
            expected.append(name.isEmpty() ? root : at(name));
        QStringList synced;
        FailingFileOperations recording([&](const QString &operation, const QString &target) {
            if (operation == u"sync"_s)
                synced.append(target);
            return false;
        });
        ASSERT_TRUE(run(recording, row.operation, from, to, nullptr));
        EXPECT_EQ(synced, expected);
        fresh();

        for (const QString &failing : expected) {
            SCOPED_TRACE(failing.toStdString());
            FailingFileOperations failingSync([&](const QString &operation, const QString &target) {
                return operation == u"sync"_s && target == failing;
            });
            const QStringList before = treeOf(root);
            Error error;
            EXPECT_FALSE(run(failingSync, row.operation, from, to, &error));
            EXPECT_TRUE(error.localizedDescription().contains(u"injected failure"_s));
            // Unchanged when the sync came before the rename, or when the call undid its work.
            const bool unchanged = failing == from || std::string(row.operation) == "copy";
            EXPECT_EQ(treeOf(root) == before, unchanged);
            fresh();
        }
    }
}

TEST_F(FileOperationsTest, InjectedFailuresChangeNothingAndSpareOtherPaths)
{
    const QString target = at(u"target"_s);
    ASSERT_TRUE(local.symbolicLink(u"file.txt"_s, target, nullptr)); // for readLink and remove
    FailingFileOperations failing(
        [&](const QString &, const QString &path) { return path == target; });
    const QStringList before = treeOf(root);
    for (const char *operation : {"copy", "hardLink", "symbolicLink", "readLink", "remove", "move",
                                  "replace", "exchange", "sync"}) {
        Error error;
        EXPECT_FALSE(run(failing, operation, at(u"file.txt"_s), target, &error)) << operation;
        EXPECT_TRUE(error.localizedDescription().contains(u"injected failure"_s)) << operation;
        EXPECT_EQ(treeOf(root), before) << operation;
    }
    EXPECT_EQ(failing.readLink(at(u"folder/link"_s), nullptr), u"a.txt"_s);
    EXPECT_TRUE(failing.move(at(u"file.txt"_s), at(u"elsewhere"_s), nullptr));
}

TEST_F(FileOperationsTest, WriteFileAndMakeFolderCreateOnlyNewItemsAndLeaveNothingOnFailure)
{
    ASSERT_TRUE(local.writeFile(at(u"new.txt"_s), "new", nullptr));
    ASSERT_TRUE(local.makeFolder(at(u"made"_s), nullptr));
    EXPECT_TRUE(QFileInfo(at(u"made"_s)).isDir());
    const QStringList before = treeOf(root);
    EXPECT_TRUE(before.contains(u"new.txt: new"_s));
    Error error;
    // Something already there, a missing parent, a link to follow: refused, nothing changed.
    for (const QString &name : {u"new.txt"_s, u"folder"_s, u"folder/link"_s, u"none/x"_s}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_FALSE(local.writeFile(at(name), "other", &error));
        EXPECT_FALSE(local.makeFolder(at(name), &error));
        EXPECT_FALSE(error.localizedDescription().isEmpty());
    }
    EXPECT_EQ(treeOf(root), before);
    // A failing sync of the file or of its folder takes the new item away again.
    for (const QString &step : {u"file"_s, u"folder"_s}) {
        FailingFileOperations failing([&](const QString &operation, const QString &path) {
            return operation == u"sync"_s && (step == u"folder"_s) == (path == root);
        });
        EXPECT_FALSE(failing.writeFile(at(u"later.txt"_s), "later", nullptr));
        if (step == u"folder"_s) {
            EXPECT_FALSE(failing.makeFolder(at(u"later"_s), nullptr));
        }
        EXPECT_EQ(treeOf(root), before);
    }
}

TEST(FileOperationsCurrentTest, InstalledOperationsAnswerUntilRestored)
{
    EXPECT_NE(dynamic_cast<LocalFileOperations *>(&FileOperations::current()), nullptr);
    FailingFileOperations failing([](const QString &, const QString &) { return true; });
    FileOperations *previous = FileOperations::setCurrent(&failing);
    EXPECT_EQ(&FileOperations::current(), &failing);
    EXPECT_EQ(FileOperations::setCurrent(previous), &failing);
    EXPECT_NE(&FileOperations::current(), &failing);
}

} // namespace
} // namespace lq
