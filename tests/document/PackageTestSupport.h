#pragma once

#include "document/MyDocument.h"
#include "document/PackageMeta.h"
#include "model/ModelArchiveClasses.h"
#include "model/WrenRecording.h"
#include "model/WrenTimerSession.h"
#include "platform/document/Document.h"
#include "support/FakeEngineFactory.h"
#include "support/ScriptedAlertPresenter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <ctime>
#include <memory>

namespace lq::test {

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

inline ino_t inodeOf(const QString &path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

// Every item under folder: a digest of a file's bytes, a link's target, "/" for a folder.
inline QMap<QString, QString> treeOf(const QString &folder)
{
    QMap<QString, QString> tree;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString name = QDir(folder).relativeFilePath(info.filePath());
        if (info.isSymLink())
            tree.insert(name, QStringLiteral("-> ") + info.symLinkTarget());
        else if (info.isDir())
            tree.insert(name, QStringLiteral("/"));
        else
            tree.insert(name,
                        QString::fromLatin1(QCryptographicHash::hash(readBytes(info.filePath()),
                                                                     QCryptographicHash::Sha1)
                                                .toHex()));
    }
    return tree;
}

// Files outside a package that opening and saving it must neither read nor write. Each one's
// access time is set two days back, so that a read moves it (where the file system keeps access
// times at all).
class DecoyFiles
{
public:
    QString add(const QString &path, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        writeBytes(path, bytes);
        const struct timespec times[2] = {{std::time(nullptr) - 2 * 24 * 3600, 0}, {0, UTIME_OMIT}};
        EXPECT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
        m_states.insert(path, stateOf(path));
        return path;
    }

    // The decoys read, written or linked to since they were added.
    QStringList touched() const
    {
        QStringList paths;
        for (auto it = m_states.cbegin(); it != m_states.cend(); ++it) {
            if (stateOf(it.key()) != it.value())
                paths.append(it.key());
        }
        return paths;
    }

private:
    // Links, size, and the last read and write in nanoseconds.
    static std::array<int64_t, 4> stateOf(const QString &path)
    {
        struct stat info
        {
        };
        ::lstat(QFile::encodeName(path).constData(), &info);
        const auto nanoseconds = [](const timespec &time) {
            return int64_t(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
        };
        return {int64_t(info.st_nlink), int64_t(info.st_size), nanoseconds(info.st_atim),
                nanoseconds(info.st_mtim)};
    }

    QMap<QString, std::array<int64_t, 4>> m_states;
};

inline PackageMeta metaOf(const QString &package)
{
    Error error;
    const std::optional<PackageMeta> meta =
        PackageMeta::unarchived(readBytes(package + QStringLiteral("/meta")), &error);
    EXPECT_TRUE(meta) << error.localizedDescription().toStdString();
    return meta.value_or(PackageMeta());
}

// Notes saved in a temporary folder, with fake engines and scripted alerts.
class PackageTest : public testing::Test
{
protected:
    PackageTest()
    {
        registerModelArchiveClasses();
        Document::setAutosaveDelay(0);
        QDir(root.path()).mkdir(QStringLiteral("temp"));
        Document::setAutosaveFolder(at(QStringLiteral("autosave")));
    }

    QString at(const QString &name) const { return root.filePath(name); }
    QString tempFolder() const { return m_tempFolder; }
    void setTempFolder(const QString &folder)
    {
        m_tempFolder = folder;
        QDir().mkpath(folder);
    }

    std::unique_ptr<MyDocument> newDocument() const
    {
        auto document = std::make_unique<MyDocument>();
        document->tempRecordingDir = tempFolder();
        document->recordingObject().setTempDir(tempFolder());
        return document;
    }

    // A finished session whose one media file holds bytes in the temporary folder (nothing is
    // written when bytes is empty); answers the file's path.
    QString addMediaSession(MyDocument &document, const QByteArray &bytes) const
    {
        WrenRecording &recording = document.recordingObject();
        auto session = std::make_shared<WrenTimerSession>();
        session->startSession();
        session->stopSession();
        session->setHasAudio(true);
        recording.addSession(session);
        const int32_t index = recording.sessionCount() - 1;
        const QString name = QStringLiteral("recording-%1.0.mov").arg(index);
        const QString path = QDir(tempFolder()).filePath(name);
        if (!bytes.isEmpty())
            writeBytes(path, bytes);
        recording.setRecordingFiles(QStringList{name}, index);
        return path;
    }

    // The items beside path that a save left (other than path itself).
    QStringList siblingsOf(const QString &path) const
    {
        QStringList names = QDir(QFileInfo(path).absolutePath())
                                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        names.removeAll(QFileInfo(path).fileName());
        names.removeAll(QStringLiteral("temp"));
        names.removeAll(QStringLiteral("outside"));
        return names;
    }

    QTemporaryDir root;
    QString m_tempFolder = root.filePath(QStringLiteral("temp"));
    FakeEngineFactory engines;
    ScriptedAlertPresenter alerts;
};

} // namespace lq::test
