#pragma once

#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace lq {

// The file-system calls later layers make, behind one interface so that tests can make any of
// them fail. Each failing call answers false and an error in a full sentence.
//
// Durability: a call that creates or renames (copy, hardLink, symbolicLink, move, replace,
// exchange) answers true only once what it wrote is on the disk: the data of every file it wrote
// and the folders whose entries it changed are synced, so a success survives a crash or a power
// cut. Removing promises nothing of the kind.
class FileOperations
{
public:
    virtual ~FileOperations() = default;

    // Copies a file, or a folder with everything in it; fails when destination exists, which is
    // decided when the copy is created, so nothing made by another party in the meantime is
    // touched. A failed copy leaves nothing behind. Not atomic: a crash may leave part of a copy,
    // so data is published by copying to a temporary path and replacing.
    virtual bool copy(const QString &source, const QString &destination, Error *error) = 0;
    // Across file systems fails with an error that isCrossDevice() recognises, after which a
    // caller may copy instead.
    virtual bool hardLink(const QString &existing, const QString &newPath, Error *error) = 0;
    // The same link without syncing its folder: only for a caller that syncs the folder itself
    // before anything relies on the link (as the next file it writes there does).
    virtual bool hardLinkUnsynced(const QString &existing, const QString &newPath,
                                  Error *error) = 0;
    virtual bool symbolicLink(const QString &target, const QString &linkPath, Error *error) = 0;
    // The target a symbolic link holds, as written; empty with an error when path is no link.
    virtual QString readLink(const QString &path, Error *error) = 0;
    // Removes a file, a link (not its target) or a folder with everything in it.
    virtual bool remove(const QString &path, Error *error) = 0;
    // Renames within a file system in one step that fails when destination exists; across file
    // systems copies and then removes the source.
    virtual bool move(const QString &source, const QString &destination, Error *error) = 0;
    // Renames source over destination in one step (both in one file system), the source synced
    // first: afterwards, even after a crash, the destination is wholly the old file or wholly the
    // new one.
    virtual bool replace(const QString &source, const QString &destination, Error *error) = 0;
    // Swaps two existing files or folders in one step (both in one file system).
    virtual bool exchange(const QString &first, const QString &second, Error *error) = 0;
    // Writes a file's data, or a folder's entries, to the disk.
    virtual bool sync(const QString &path, Error *error) = 0;
    // Creates a new file holding data; fails when anything is at path. A failed write leaves
    // nothing behind.
    virtual bool writeFile(const QString &path, const QByteArray &data, Error *error) = 0;
    // Creates one folder; fails when anything is at path or its parent is missing.
    virtual bool makeFolder(const QString &path, Error *error) = 0;
    // Whether something is there; a dangling link counts.
    virtual bool exists(const QString &path) = 0;
    // Whether both name the same file (same device and inode).
    virtual bool isSameFile(const QString &first, const QString &second) = 0;

    // Whether error tells that two paths lie on different file systems.
    static bool isCrossDevice(const Error &error);

    // The operations every caller uses: the real file system unless a test installed others.
    static FileOperations &current();
    // Installs operations (nullptr restores the real ones); answers the previous ones.
    static FileOperations *setCurrent(FileOperations *operations);
};

// The steps of a call go through the virtual calls (sync, remove), so that a test can make any
// step fail.
class LocalFileOperations : public FileOperations
{
public:
    bool copy(const QString &source, const QString &destination, Error *error) override;
    bool hardLink(const QString &existing, const QString &newPath, Error *error) override;
    bool hardLinkUnsynced(const QString &existing, const QString &newPath, Error *error) override;
    bool symbolicLink(const QString &target, const QString &linkPath, Error *error) override;
    QString readLink(const QString &path, Error *error) override;
    bool remove(const QString &path, Error *error) override;
    bool move(const QString &source, const QString &destination, Error *error) override;
    bool replace(const QString &source, const QString &destination, Error *error) override;
    bool exchange(const QString &first, const QString &second, Error *error) override;
    bool sync(const QString &path, Error *error) override;
    bool writeFile(const QString &path, const QByteArray &data, Error *error) override;
    bool makeFolder(const QString &path, Error *error) override;
    bool exists(const QString &path) override;
    bool isSameFile(const QString &first, const QString &second) override;

private:
    bool syncFoldersOf(const QString &first, const QString &second, Error *error);
};

// Which file a path names (device and inode; a link itself, not its target); invalid when
// nothing is there. Files are never rewritten in place, only replaced, so an unchanged identity
// means unchanged contents.
struct FileIdentity
{
    bool valid = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FileIdentity &) const = default;
    static FileIdentity of(const QString &path);
};

// A hidden name beside destination, in its folder, that nothing uses yet: where a file is written
// before it replaces destination.
QString temporaryPathBeside(const QString &destination);
// Whether path is one of the names temporaryPathBeside(destination) gives.
bool isTemporaryPathBeside(const QString &path, const QString &destination);

// Whether readRegularFile reads through a symbolic link at the path or refuses it.
enum class LinkHandling { Follow, Refuse };

// The whole of a regular file of at most maxSize bytes. A folder, a pipe, a device, a larger
// file and (unless followed) a symbolic link are refused before anything is read.
std::optional<QByteArray> readRegularFile(const QString &path, qint64 maxSize, LinkHandling links,
                                          Error *error);

// Real operations, except that calls the predicate picks fail (tests run as root, so
// permissions cannot make a write fail).
class FailingFileOperations final : public LocalFileOperations
{
public:
    // operation is "copy", "hardLink" (also for hardLinkUnsynced), "symbolicLink", "readLink",
    // "remove", "move", "replace", "exchange", "sync", "writeFile" or "makeFolder"; path is the
    // path the call writes (its destination, the second path exchanged, or the removed or synced
    // path). Steps of a call are asked about on their own.
    using FailurePredicate = std::function<bool(const QString &operation, const QString &path)>;
    explicit FailingFileOperations(FailurePredicate shouldFail);

    bool copy(const QString &source, const QString &destination, Error *error) override;
    bool hardLink(const QString &existing, const QString &newPath, Error *error) override;
    bool hardLinkUnsynced(const QString &existing, const QString &newPath, Error *error) override;
    bool symbolicLink(const QString &target, const QString &linkPath, Error *error) override;
    QString readLink(const QString &path, Error *error) override;
    bool remove(const QString &path, Error *error) override;
    bool move(const QString &source, const QString &destination, Error *error) override;
    bool replace(const QString &source, const QString &destination, Error *error) override;
    bool exchange(const QString &first, const QString &second, Error *error) override;
    bool sync(const QString &path, Error *error) override;
    bool writeFile(const QString &path, const QByteArray &data, Error *error) override;
    bool makeFolder(const QString &path, Error *error) override;

private:
    bool injectFailure(const QString &operation, const QString &path, Error *error) const;
    FailurePredicate m_shouldFail;
};

} // namespace lq
