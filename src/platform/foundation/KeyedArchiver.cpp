#include "platform/foundation/KeyedArchiver.h"

#include "platform/foundation/ArchiveKeys.h"
#include "platform/foundation/ArchivePlistWriter.h"
#include "platform/foundation/ArchiveRecentStrings.h"

#include <QHash>

#include <vector>

namespace lq {

using namespace archive_keys;
using Ref = ArchivePlistWriter::Ref;

class KeyedArchiver::Private
{
public:
    explicit Private(KeyedArchiver &coder) : m_coder(coder) {}

    // The number of a value in "$objects", written there first if needed.
    uint64_t uidOf(const ArchiveValue &value);
    QByteArray finish(uint64_t rootUid);

    // Appends one entry to the dictionary of the object being encoded.
    void addEntry(const QString &key, Ref value);

    ArchivePlistWriter writer;

private:
    uint64_t appendObject(Ref ref);
    // The number of the class record of the first name; one record per class name.
    uint64_t classUid(const QStringList &classNames);
    uint64_t writeClassRecord(const QString &name, const QStringList &classNames);
    // Writes the entries gathered since start and "$class" as the dictionary of object uid.
    void finishObject(uint64_t uid, size_t start, const QStringList &classNames);
    // Each writes the object of number uid.
    void encodeArchivable(uint64_t uid, const Archivable &object);
    void encodeArray(uint64_t uid, const ArchiveArray &values);
    void encodeDictionary(uint64_t uid, const ArchiveDictionary &entries);
    uint64_t encodeDate(Date date);
    Ref uidRef(const ArchiveValue &value) { return writer.uid(uidOf(value)); }

    KeyedArchiver &m_coder;
    // "$objects": the reference of each value, by its number.
    std::vector<Ref> m_objects{writer.string(kNullObject)};
    const Ref m_classKey = writer.string(kClassReference);
    QHash<const void *, uint64_t> m_sharedUids;
    // Keeps every value in m_sharedUids alive, so that no address is reused by a later value.
    std::vector<ArchiveValue> m_sharedValues;
    ArchiveRecentStrings<Ref> m_keyRefs; // the objects' keys, as written
    QHash<QString, uint64_t> m_classUids;
    ArchiveRecentStrings<uint64_t> m_recentClassUids;
    // The entries of the objects being encoded, innermost last.
    std::vector<ArchivePlistWriter::Entry> m_entries;
};

uint64_t KeyedArchiver::Private::uidOf(const ArchiveValue &value)
{
    uint64_t uid = 0;
    if (const void *identity = value.sharedIdentity()) {
        // Arrays, dictionaries and objects are written once, however often they appear.
        uint64_t &known = m_sharedUids[identity]; // 0 ("$null") until written
        if (known != 0)
            return known;
        uid = known = appendObject(0);
        m_sharedValues.push_back(value);
    }
    switch (value.kind()) {
    case ArchiveValue::Kind::Null:
        return 0;
    case ArchiveValue::Kind::Bool:
        return appendObject(writer.boolean(value.toBool()));
    case ArchiveValue::Kind::Integer:
        return appendObject(writer.integer(value.toInteger()));
    case ArchiveValue::Kind::Real:
        return appendObject(writer.real(value.toReal()));
    case ArchiveValue::Kind::String:
        return appendObject(writer.string(value.toString()));
    case ArchiveValue::Kind::Data:
        return appendObject(writer.data(value.toData()));
    case ArchiveValue::Kind::Date:
        return encodeDate(value.toDate());
    case ArchiveValue::Kind::Array:
        encodeArray(uid, value.toArray());
        return uid;
    case ArchiveValue::Kind::Dictionary:
        encodeDictionary(uid, value.toDictionary());
        return uid;
    case ArchiveValue::Kind::Object:
        encodeArchivable(uid, *value.toObject());
        return uid;
    }
    return 0;
}

uint64_t KeyedArchiver::Private::appendObject(Ref ref)
{
    m_objects.push_back(ref);
    return m_objects.size() - 1;
}

void KeyedArchiver::Private::addEntry(const QString &key, Ref value)
{
    const Ref keyRef = m_keyRefs.value(key, 0, [&] { return writer.string(escapedKey(key)); });
    m_entries.emplace_back(keyRef, value);
}

uint64_t KeyedArchiver::Private::classUid(const QStringList &classNames)
{
    const QString name = classNames.isEmpty() ? kRootClass.toString() : classNames.first();
    return m_recentClassUids.value(name, 0, [&] {
        const uint64_t known = m_classUids.value(name);
        return known != 0 ? known : writeClassRecord(name, classNames);
    });
}

uint64_t KeyedArchiver::Private::writeClassRecord(const QString &name,
                                                  const QStringList &classNames)
{
    QStringList chain = classNames;
    if (chain.isEmpty() || chain.last() != kRootClass)
        chain.append(kRootClass.toString());
    std::vector<Ref> names;
    names.reserve(static_cast<size_t>(chain.size()));
    for (const QString &name : chain)
        names.push_back(writer.string(name));
    const ArchivePlistWriter::Entry entries[] = {
        {writer.string(kClassName), writer.string(name)},
        {writer.string(kClassChain), writer.array(names)},
    };
    const uint64_t uid = appendObject(writer.dictionary(entries));
    m_classUids.insert(name, uid);
    return uid;
}

void KeyedArchiver::Private::finishObject(uint64_t uid, size_t start, const QStringList &classNames)
{
    const Ref classRef = writer.uid(classUid(classNames));
    m_entries.emplace_back(m_classKey, classRef);
    m_objects[uid] = writer.dictionary(std::span(m_entries).subspan(start));
    m_entries.resize(start);
}

void KeyedArchiver::Private::encodeArchivable(uint64_t uid, const Archivable &object)
{
    const size_t start = m_entries.size();
    object.encodeWithCoder(m_coder);
    finishObject(uid, start, object.archiveClassNames());
}

void KeyedArchiver::Private::encodeArray(uint64_t uid, const ArchiveArray &values)
{
    std::vector<Ref> items;
    items.reserve(static_cast<size_t>(values.size()));
    for (const ArchiveValue &value : values)
        items.push_back(uidRef(value));
    const size_t start = m_entries.size();
    m_entries.emplace_back(writer.string(kObjects), writer.array(items));
    finishObject(uid, start, {kArrayClass.toString()});
}

void KeyedArchiver::Private::encodeDictionary(uint64_t uid, const ArchiveDictionary &entries)
{
    std::vector<Ref> keys;
    std::vector<Ref> values;
    keys.reserve(static_cast<size_t>(entries.size()));
    values.reserve(static_cast<size_t>(entries.size()));
    for (const auto &[key, value] : entries) {
        keys.push_back(uidRef(key));
        values.push_back(uidRef(value));
    }
    const size_t start = m_entries.size();
    m_entries.emplace_back(writer.string(kKeys), writer.array(keys));
    m_entries.emplace_back(writer.string(kObjects), writer.array(values));
    finishObject(uid, start, {kDictionaryClass.toString()});
}

uint64_t KeyedArchiver::Private::encodeDate(Date date)
{
    const uint64_t uid = appendObject(0);
    const size_t start = m_entries.size();
    m_entries.emplace_back(writer.string(kTime), writer.real(date.secondsSinceReferenceDate()));
    finishObject(uid, start, {kDateClass.toString()});
    return uid;
}

QByteArray KeyedArchiver::Private::finish(uint64_t rootUid)
{
    const ArchivePlistWriter::Entry top[] = {{writer.string(kRoot), writer.uid(rootUid)}};
    const ArchivePlistWriter::Entry archive[] = {
        {writer.string(kArchiver), writer.string(kArchiverName)},
        {writer.string(kVersion), writer.integer(kArchiveVersion)},
        {writer.string(kTop), writer.dictionary(top)},
        {writer.string(kObjectList), writer.array(m_objects)},
    };
    return writer.finish(writer.dictionary(archive));
}

KeyedArchiver::KeyedArchiver() : d(std::make_unique<Private>(*this))
{}

KeyedArchiver::~KeyedArchiver() = default;

QByteArray KeyedArchiver::archivedData(const ArchiveValue &root)
{
    KeyedArchiver archiver;
    return archiver.d->finish(archiver.d->uidOf(root));
}

void KeyedArchiver::encodeBool(const QString &key, bool value)
{
    d->addEntry(key, d->writer.boolean(value));
}

void KeyedArchiver::encodeInt32(const QString &key, int32_t value)
{
    d->addEntry(key, d->writer.integer(value));
}

void KeyedArchiver::encodeInt64(const QString &key, int64_t value)
{
    d->addEntry(key, d->writer.integer(value));
}

void KeyedArchiver::encodeFloat(const QString &key, float value)
{
    d->addEntry(key, d->writer.real32(value));
}

void KeyedArchiver::encodeDouble(const QString &key, double value)
{
    d->addEntry(key, d->writer.real(value));
}

void KeyedArchiver::encodeString(const QString &key, const QString &value)
{
    d->addEntry(key, d->writer.string(value));
}

void KeyedArchiver::encodeObject(const QString &key, const ArchiveValue &value)
{
    d->addEntry(key, d->writer.uid(d->uidOf(value)));
}

} // namespace lq
