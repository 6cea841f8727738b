#pragma once

#include "platform/foundation/FileLock.h"

#include <QString>

#include <memory>

// A note's hold on its temporary folder ("lumaquill-<n>" in the cache folder) while it uses it:
// a lock on the folder's ".claim" file, whose text names the package the note was last stored in
// (its file, or an untitled note's autosaved copy). A later start looks only at folders that no
// running copy holds, and compares their media with that package.
class TemporaryFolderClaim
{
public:
    static constexpr char kFileName[] = ".claim";

    // "lumaquill-<number>", and whether name is such a name.
    static QString folderName(qint64 number);
    static bool isFolderName(const QString &name);

    // Claims folder. Null when another holder has it or the folder went meanwhile
    // (heldElsewhere), or when no lock can be taken there.
    static std::unique_ptr<TemporaryFolderClaim> take(const QString &folder,
                                                      bool *heldElsewhere = nullptr);
    // The package that folder's claim names; empty when it names none.
    static QString packageOf(const QString &folder);

    QString folder() const { return m_folder; }
    // Names the package the folder's media were last stored in (empty: none).
    void setPackage(const QString &package);

private:
    TemporaryFolderClaim(std::unique_ptr<lq::FileLock> lock, const QString &folder)
        : m_lock(std::move(lock)), m_folder(folder)
    {}

    std::unique_ptr<lq::FileLock> m_lock;
    QString m_folder;
};
