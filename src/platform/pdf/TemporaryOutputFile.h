#pragma once

#include "platform/foundation/Error.h"

#include <QString>

#include <cstdio>

namespace lq {

// A file written under a unique temporary name in its destination's folder and moved onto the
// destination only when complete, so that the destination is never seen half written. Removed
// again unless committed.
class TemporaryOutputFile
{
public:
    explicit TemporaryOutputFile(QString destination);
    ~TemporaryOutputFile();
    TemporaryOutputFile(const TemporaryOutputFile &) = delete;
    TemporaryOutputFile &operator=(const TemporaryOutputFile &) = delete;

    // Creates the temporary file, empty, with the permissions of a newly created file.
    bool open(Error *error);
    // The open file; owned by this object.
    FILE *stream() const { return m_stream; }
    const QString &temporaryPath() const { return m_temporaryPath; }

    // Flushes and syncs the file, closes it and moves it onto the destination.
    bool commit(Error *error);

private:
    bool close(Error *error);

    QString m_destination;
    QString m_temporaryPath;
    FILE *m_stream = nullptr;
    bool m_committed = false;
};

} // namespace lq
