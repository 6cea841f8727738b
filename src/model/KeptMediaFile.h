#pragma once

#include "platform/foundation/Error.h"

#include <QString>

#include <memory>

// A media file as it was, kept for an undo step on disk rather than in memory: a hard link to the
// file (a copy where no link can be made) in the hidden ".undo" folder of a folder of the note.
// Recorded files are never changed in place, so the link keeps the bytes when the file is replaced
// or removed. The kept file goes with its last holder.
class KeptMediaFile
{
public:
    // Keeps path as it is now, in folder's ".undo"; nothing, with error, when it cannot.
    static std::shared_ptr<const KeptMediaFile> keep(const QString &path, const QString &folder,
                                                     lq::Error *error);
    ~KeptMediaFile();
    KeptMediaFile(const KeptMediaFile &) = delete;
    KeptMediaFile &operator=(const KeptMediaFile &) = delete;

    // Puts the kept file at path, over whatever is there, in one step; a failure leaves path as
    // it was.
    bool restoreTo(const QString &path, lq::Error *error) const;
    QString keptPath() const { return m_path; }

private:
    explicit KeptMediaFile(QString path) : m_path(std::move(path)) {}
    // A hard link to source at destination, or a copy where none can be made.
    static bool linkOrCopy(const QString &source, const QString &destination, lq::Error *error);

    QString m_path;
};

using KeptMediaFilePtr = std::shared_ptr<const KeptMediaFile>;
