#pragma once

#include "document/MyDocument.h"
#include "document/PackageMeta.h"
#include "model/ModelArchiveClasses.h"
#include "model/WrenRecording.h"
#include "model/WrenTimerSession.h"
#include "platform/document/Document.h"
#include "platform/text/TextFixtures.h"
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

inline void replaceMember(const QString &package, const QString &member, const QByteArray &bytes)
{
    QFile::remove(package + QLatin1Char('/') + member);
    writeBytes(package + QLatin1Char('/') + member, bytes);
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

// Files outside a package that nothing may read or write while the package is opened and
// saved. Each one's access time is set two days back, so that a read moves it (where the file
// system keeps access times at all: otherwise reads go unseen).
class DecoyFiles
{
public:
    explicit DecoyFiles(QString folder) : m_folder(std::move(folder)) { QDir().mkpath(m_folder); }

    QString add(const QString &name, const QByteArray &bytes)
    {
        const QString path = QDir(m_folder).filePath(name);
        writeBytes(path, bytes);
        const struct timespec times[2] = {{std::time(nullptr) - 2 * 24 * 3600, 0}, {0, UTIME_OMIT}};
        EXPECT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
        m_states.insert(path, stateOf(path));
        return path;
    }

    // The decoys whose bytes, link count or access time changed since they were made.
    QStringList touched() const
    {
        QStringList names;
        for (auto it = m_states.cbegin(); it != m_states.cend(); ++it) {
            if (stateOf(it.key()) != it.value())
                names.append(QFileInfo(it.key()).fileName());
        }
        return names;
    }

private:
    struct State
    {
        QByteArray bytes;
        nlink_t links = 0;
        struct timespec accessed = {};
        bool operator!=(const State &other) const
        {
            return bytes != other.bytes || links != other.links ||
                   accessed.tv_sec != other.accessed.tv_sec ||
                   accessed.tv_nsec != other.accessed.tv_nsec;
        }
    };
    // Read without moving the access time.
    static State stateOf(const QString &path)
    {
        State state;
        struct stat info
        {
        };
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
            return state;
        state.links = info.st_nlink;
        state.accessed = info.st_atim;
        const int file =
            ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOATIME | O_CLOEXEC);
        if (file >= 0) {
            QFile reader;
            if (reader.open(file, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
                state.bytes = reader.readAll();
        }
        return state;
    }

    QString m_folder;
    QMap<QString, State> m_states;
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

    // A note with the rich sample text, an image and two sessions of media, saved at name.
    QString savedNote(const QString &name)
    {
        auto document = newDocument();
        document->textStorage().setAttributedString(richSample());
        addMediaSession(*document, "movie 0");
        addMediaSession(*document, "movie 1");
        const QString package = at(name);
        EXPECT_TRUE(document->saveToUrl(package, SaveOperation::SaveAs, nullptr));
        return package;
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
