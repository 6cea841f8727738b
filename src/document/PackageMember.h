#pragma once

#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QString>

#include <optional>

// One member of a note package, read whole when it is opened: only a regular file inside the
// package (never through a symbolic link) and never larger than any note writes, so a hostile
// package cannot make its reader read elsewhere, block on a pipe or run out of memory.
class PackageMember
{
public:
    // The largest member a note writes is the recording's archive (about 72 MB for 10^6 time
    // stamps); this bound leaves room for several times that. A dropped picture, which becomes
    // a member, is held to it too.
    static constexpr qint64 kMaxSize = qint64(256) << 20;

    PackageMember(const QString &package, const QString &name);

    // Whether anything is there, a link or a folder included.
    bool exists() const { return m_exists; }
    // The bytes; nullopt when the member is absent or cannot be read, and error() tells why.
    const std::optional<QByteArray> &bytes() const { return m_bytes; }
    const lq::Error &error() const { return m_error; }

private:
    bool m_exists = false;
    std::optional<QByteArray> m_bytes;
    lq::Error m_error;
};
