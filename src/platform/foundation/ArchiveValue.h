#pragma once

#include "platform/foundation/Date.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <utility>
#include <variant>

namespace lq {

class KeyedArchiver;

// An object with a class of its own in a keyed archive.
class Archivable
{
public:
    virtual ~Archivable() = default;
    // The class chain written as "$classes", most derived first; the first is "$classname".
    virtual QStringList archiveClassNames() const = 0;
    virtual void encodeWithCoder(KeyedArchiver &coder) const = 0;
};

using ArchivablePtr = std::shared_ptr<Archivable>;

class ArchiveValue;
using ArchiveArray = QList<ArchiveValue>;
// Keys may be strings or numbers; the order of insertion is kept.
using ArchiveDictionary = QList<std::pair<ArchiveValue, ArchiveValue>>;

// One value of a keyed archive's object graph.
class ArchiveValue
{
public:
    enum class Kind { Null, Bool, Integer, Real, String, Data, Date, Array, Dictionary, Object };

    ArchiveValue() = default; // null

    static ArchiveValue boolean(bool value);
    static ArchiveValue integer(int64_t value);
    static ArchiveValue real(double value);
    static ArchiveValue string(const QString &value);
    static ArchiveValue data(const QByteArray &value);
    static ArchiveValue date(Date value);
    static ArchiveValue array(ArchiveArray values);
    static ArchiveValue dictionary(ArchiveDictionary entries);
    static ArchiveValue object(ArchivablePtr object); // null for a null pointer

    Kind kind() const;
    bool isNull() const { return kind() == Kind::Null; }
    bool isNumber() const { return kind() == Kind::Integer || kind() == Kind::Real; }

    // Each answers a zero value when the kind differs (numbers convert between themselves).
    bool toBool() const;
    int64_t toInteger() const;
    double toReal() const;
    QString toString() const;
    QByteArray toData() const;
    Date toDate() const;
    const ArchiveArray &toArray() const;
    const ArchiveDictionary &toDictionary() const;
    ArchivablePtr toObject() const;

    template <class T>
    std::shared_ptr<T> objectAs() const
    {
        return std::dynamic_pointer_cast<T>(toObject());
    }

private:
    friend class KeyedArchiver;

    // The address of the shared storage of an array, dictionary or object; null otherwise.
    const void *sharedIdentity() const;

    using Storage = std::variant<std::monostate, bool, int64_t, double, QString, QByteArray, Date,
                                 std::shared_ptr<const ArchiveArray>,
                                 std::shared_ptr<const ArchiveDictionary>, ArchivablePtr>;
    explicit ArchiveValue(Storage storage) : m_storage(std::move(storage)) {}

    Storage m_storage;
};

// The value under a string key; null when the dictionary has none.
const ArchiveValue *valueForKey(const ArchiveDictionary &dictionary, QStringView key);

} // namespace lq
