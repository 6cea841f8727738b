#pragma once

#include "platform/foundation/Error.h"

#include <QString>

#include <functional>

namespace lq {

// The file-system calls later layers make, behind one interface so that tests can make any of
// them fail. Each failing call answers false and an error in a full sentence.
class FileOperations
{
public:
    virtual ~FileOperations() = default;

    // Copies a file, or a folder with everything in it; fails when destination exists.
    virtual bool copy(const QString &source, const QString &destination, Error *error) = 0;
    virtual bool hardLink(const QString &existing, const QString &newPath, Error *error) = 0;
    virtual bool symbolicLink(const QString &target, const QString &linkPath, Error *error) = 0;
    // The target a symbolic link holds, as written; empty with an error when path is no link.
    virtual QString readLink(const QString &path, Error *error) = 0;
    // Removes a file, a link (not its target) or a folder with everything in it.
    virtual bool remove(const QString &path, Error *error) = 0;
    // Renames within a file system, or copies and removes across file systems; fails when
    // destination exists.
    virtual bool move(const QString &source, const QString &destination, Error *error) = 0;
    // Renames source over destination in one step (both in one file system): afterwards the
    // destination is either wholly the old file or wholly the new one.
    virtual bool replace(const QString &source, const QString &destination, Error *error) = 0;
    // Whether something is there; a dangling link counts.
    virtual bool exists(const QString &path) = 0;
    // Whether both name the same file (same device and inode).
    virtual bool isSameFile(const QString &first, const QString &second) = 0;

    // The operations every caller uses: the real file system unless a test installed others.
    static FileOperations &current();
    // Installs operations (nullptr restores the real ones); answers the previous ones.
    static FileOperations *setCurrent(FileOperations *operations);
};

class LocalFileOperations : public FileOperations
{
public:
    bool copy(const QString &source, const QString &destination, Error *error) override;
    bool hardLink(const QString &existing, const QString &newPath, Error *error) override;
    bool symbolicLink(const QString &target, const QString &linkPath, Error *error) override;
    QString readLink(const QString &path, Error *error) override;
    bool remove(const QString &path, Error *error) override;
    bool move(const QString &source, const QString &destination, Error *error) override;
    bool replace(const QString &source, const QString &destination, Error *error) override;
    bool exists(const QString &path) override;
    bool isSameFile(const QString &first, const QString &second) override;
};

// A hidden name beside destination, in its folder, that nothing uses yet: where a file is written
// before it replaces destination.
QString temporaryPathBeside(const QString &destination);

// Real operations, except that calls the predicate picks fail (tests run as root, so
// permissions cannot make a write fail).
class FailingFileOperations final : public LocalFileOperations
{
public:
    // operation is "copy", "hardLink", "symbolicLink", "readLink", "remove", "move" or "replace";
    // path is the path the call writes (its destination, or the removed path).
    using FailurePredicate = std::function<bool(const QString &operation, const QString &path)>;
    explicit FailingFileOperations(FailurePredicate shouldFail);

    bool copy(const QString &source, const QString &destination, Error *error) override;
    bool hardLink(const QString &existing, const QString &newPath, Error *error) override;
    bool symbolicLink(const QString &target, const QString &linkPath, Error *error) override;
    QString readLink(const QString &path, Error *error) override;
    bool remove(const QString &path, Error *error) override;
    bool move(const QString &source, const QString &destination, Error *error) override;
    bool replace(const QString &source, const QString &destination, Error *error) override;

private:
    bool injectFailure(const QString &operation, const QString &path, Error *error) const;
    FailurePredicate m_shouldFail;
};

} // namespace lq
