#pragma once

#include "platform/foundation/Error.h"

#include <QString>
#include <QStringList>

namespace lq {

// Where a save writes before the result takes the stored file's place: a hidden sibling of the
// destination, in its folder (so hard links and renames work), that nothing uses yet.
class SafeSaveLocation
{
public:
    // A fresh sibling path for destination; nothing exists there yet.
    static QString freshSibling(const QString &destination);
    // Siblings that saves of destination were writing when they were killed (some complete).
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
