#pragma once

#include "platform/foundation/ArchiveValue.h"
#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace lq {

class KeyedUnarchiver;

// Makes an object of one class from its archived keys; answers null (or calls
// KeyedUnarchiver::failWithReason) when they are unusable.
using ArchiveDecoder = std::function<ArchivablePtr(KeyedUnarchiver &coder)>;

// Makes a class name known to every unarchiver. A name not registered fails the decoding.
void registerArchiveClass(const QString &className, ArchiveDecoder decoder);

// What a caller knows of an archive's surroundings, by name, for the decoders of one unarchiving
// (for example the length of the text whose time stamps the archive holds).
using ArchiveContext = QHash<QString, int64_t>;

// The registered classes that one kind of archive may hold, as a secure decoder takes them: an
// object of any other registered class fails the decoding before its decoder runs. Arrays,
// dictionaries, strings, data and dates may appear in every archive.
using ArchiveClasses = QSet<QString>;

// Reads what KeyedArchiver writes. Every type, reference and bound is checked: a damaged or
// hostile archive answers an error, never a crash, in time and memory linear in its size (bytes
// that many objects share count each time they are decoded, up to a few times the archive's
// size).
class KeyedUnarchiver
{
public:
    KeyedUnarchiver(const KeyedUnarchiver &) = delete;
    KeyedUnarchiver &operator=(const KeyedUnarchiver &) = delete;
    ~KeyedUnarchiver();

    // The value under "root"; nullopt and an error when the archive is unusable or holds a
    // registered class that classes lacks.
    static std::optional<ArchiveValue> unarchive(const QByteArray &data,
                                                 const ArchiveClasses &classes,
                                                 Error *error = nullptr,
                                                 const ArchiveContext &context = {});

    // The root when it is an object of class T; null and an error otherwise.
    template <class T>
    static std::shared_ptr<T> unarchiveObject(const QByteArray &data, const ArchiveClasses &classes,
                                              Error *error = nullptr,
                                              const ArchiveContext &context = {})
    {
        const std::optional<ArchiveValue> root = unarchive(data, classes, error, context);
        if (!root)
            return nullptr;
        std::shared_ptr<T> object = root->objectAs<T>();
        if (!object)
            setError(error, wrongRootClassError());
        return object;
    }

    // Called from an ArchiveDecoder; each reads from the object being decoded. An absent key
    // answers zero (or null); a value of the wrong type or out of range fails the decoding.
    bool containsValue(const QString &key) const;
    bool decodeBool(const QString &key);
    int32_t decodeInt32(const QString &key);
    int64_t decodeInt64(const QString &key);
    float decodeFloat(const QString &key);
    double decodeDouble(const QString &key);
    ArchiveValue decodeObject(const QString &key);
    // The value the caller gave under name; nullopt when it gave none.
    std::optional<int64_t> contextValue(const QString &name) const;
    // The size in bytes of the archive being decoded.
    qsizetype archiveSize() const;

    // Marks the whole decoding as failed; unarchive then answers an error with this reason.
    void failWithReason(const QString &reason);
    bool hasFailed() const;

private:
    KeyedUnarchiver(const ArchiveClasses &classes, const ArchiveContext &context);
    static Error wrongRootClassError();
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace lq
