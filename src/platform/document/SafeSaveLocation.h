#pragma once

#include "platform/foundation/Error.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace lq {

// A save's folder beside its destination, locked for as long as this lives: the save writing
// it holds it, and so does whoever clears it as a leftover, so that no save's folder is cleared
// while it is written (by another process, or another user of a shared folder). Where the file
// system has no locks, nothing is locked.
class SaveFolder
{
public:
    SaveFolder(const SaveFolder &) = delete;
    SaveFolder &operator=(const SaveFolder &) = delete;
    ~SaveFolder();

    // A fresh, empty sibling folder of destination, made and held; null and an error when none
    // can be made.
    static std::unique_ptr<SaveFolder> makeFresh(const QString &destination, Error *error);
    // The leftover at path, held; null while a save holds it or when it is gone.
    static std::unique_ptr<SaveFolder> hold(const QString &path);

    const QString &path() const { return m_path; }

private:
    SaveFolder(QString path, int descriptor);
    // Takes the lock without waiting: false when someone else holds it, or when path no longer
    // names the folder that was opened.
    bool lock();

    QString m_path;
    int m_descriptor;
};

// Where a save writes before the result takes the stored file's place: a hidden sibling of the
// destination, in its folder (so hard links and renames work), that nothing uses yet.
class SafeSaveLocation
{
public:
    // A fresh sibling path for destination; nothing exists there yet.
    static QString freshSibling(const QString &destination);
    // Siblings that saves of destination are writing, or were writing when they were killed
    // (some complete); SaveFolder::hold tells which.
    static QStringList unfinishedSaves(const QString &destination);
    // Stored versions that a save replaced but could not finish removing: never complete, so
    // only ever removed.
    static QStringList replacedVersions(const QString &destination);

    // Puts the finished package at written in destination's place in one step: swapped with
    // the stored one, which is then renamed as replaced and removed, or renamed into place when
    // there is none. On failure destination is as it was and written is removed.
    static bool commit(const QString &written, const QString &destination, Error *error);

    // A name beside destination, in the same folder, for a leftover kept for the user:
    // "<name> (recovered).<ext>", counting up while taken.
    static QString recoveredName(const QString &destination);
};

} // namespace lq
