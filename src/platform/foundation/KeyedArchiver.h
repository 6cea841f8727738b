#pragma once

#include "platform/foundation/ArchiveValue.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace lq {

// Writes an object graph as a binary property list in the keyed-archive layout: "$archiver",
// "$version", "$top" {"root": UID} and "$objects" starting with "$null". Objects are written once
// and referenced by UID wherever they appear again.
class KeyedArchiver
{
public:
    KeyedArchiver(const KeyedArchiver &) = delete;
    KeyedArchiver &operator=(const KeyedArchiver &) = delete;
    ~KeyedArchiver();

    // The archive bytes of root.
    static QByteArray archivedData(const ArchiveValue &root);

    // Called from Archivable::encodeWithCoder; each writes into the object being encoded.
    void encodeBool(const QString &key, bool value);
    void encodeInt32(const QString &key, int32_t value); // sign-extended: -1 reads back as -1
    void encodeInt64(const QString &key, int64_t value);
    void encodeFloat(const QString &key, float value);
    void encodeDouble(const QString &key, double value);
    // A string written in place rather than by reference (as "NS.string" of a string object).
    void encodeString(const QString &key, const QString &value);
    // Any value by reference; a null value refers to "$null".
    void encodeObject(const QString &key, const ArchiveValue &value);

private:
    KeyedArchiver();
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace lq
