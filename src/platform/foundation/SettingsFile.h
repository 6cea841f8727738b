#pragma once

#include "platform/foundation/Error.h"
#include "platform/foundation/Plist.h"

#include <QString>

#include <functional>

namespace lq {

// The binary property-list file of a settings store, shared with other stores and processes.
// Writers take turns under a lock file beside it and merge: each re-reads the file and changes only
// its own keys, so that no store loses another's. A file that cannot be read is kept beside as
// "<name>.damaged" before anything replaces it.
class SettingsFile
{
public:
    explicit SettingsFile(QString path);

    const QString &path() const { return m_path; }
    QString damagedPath() const;

    // The root dictionary; null when there is no file or, with *unreadable set, when the file
    // is not a property-list dictionary.
    PlistPtr read(bool *unreadable) const;

    // Under the lock: reads the dictionary (empty when there is none, after moving an unreadable
    // file aside), lets change edit it, and puts it in place through a synced temporary file.
    bool update(const std::function<void(plist_t dictionary)> &change, Error *error);

    // Removes the temporary files of saves that were killed part-way, unless a save is running.
    void removeLeftovers();

private:
    QString m_path;
};

} // namespace lq
