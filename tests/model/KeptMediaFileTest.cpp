#include "model/KeptMediaFile.h"

#include "platform/foundation/FileOperations.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile::remove(path); // a new file, as media are never rewritten in place
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(KeptMediaFileTest, KeepsTheBytesThroughAReplacementAndPutsThemBackUntilLetGo)
{
    struct Case
    {
        const char *name;
        bool linksFail; // as across file systems: the file is copied
    };
    for (const Case &c : {Case{"linked", false}, Case{"copied", true}}) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        const QString media = folder.filePath(QStringLiteral("recording-0.mov"));
        write(media, "as recorded");
        lq::FailingFileOperations failing([&](const QString &operation, const QString &) {
            return c.linksFail && operation == QLatin1String("hardLink");
        });
        lq::FileOperations *previous = lq::FileOperations::setCurrent(&failing);

        lq::Error error;
        KeptMediaFilePtr kept = KeptMediaFile::keep(media, folder.path(), &error);
        ASSERT_NE(kept, nullptr) << error.localizedDescription().toStdString();
        const QString keptPath = kept->keptPath();
        EXPECT_TRUE(keptPath.startsWith(folder.filePath(QStringLiteral(".undo/"))));
        write(media, "cut");
        EXPECT_TRUE(kept->restoreTo(media, &error));
        EXPECT_EQ(contents(media), "as recorded");
        // The note's folder holds the media and the undo folder, nothing left over.
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("recording-0.mov")});

        QFile::remove(media);
        EXPECT_TRUE(kept->restoreTo(media, &error));
        EXPECT_EQ(contents(media), "as recorded");
        kept.reset();
        EXPECT_FALSE(QFile::exists(keptPath));
        EXPECT_EQ(contents(media), "as recorded");
        lq::FileOperations::setCurrent(previous);
    }
}

} // namespace
