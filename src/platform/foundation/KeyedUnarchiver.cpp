#include "platform/foundation/KeyedUnarchiver.h"

#include "platform/foundation/ArchiveKeys.h"
#include "platform/foundation/ArchivePlistReader.h"
#include "platform/foundation/ArchiveRecentStrings.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace lq {

using namespace archive_keys;
using Reader = ArchivePlistReader;

namespace {

const QString kErrorDomain = QStringLiteral("archive");
constexpr int kUnreadableArchiveCode = 1;
constexpr int kWrongRootClassCode = 2;
// Objects nested deeper than this are refused, which bounds the recursion of the decoder.
constexpr int kMaxDepth = 512;
constexpr uint32_t kInProgress = std::numeric_limits<uint32_t>::max();
// Decoded values (list items, characters, bytes, the keys of objects) may outnumber the bytes of
// the archive this many times. Written archives stay far below; objects that share bytes (offsets
// repeated in the offset table, overlapping objects, one list or text that many objects refer to)
// would otherwise decode the shared bytes again for each of them, without bound.
constexpr uint64_t kDecodedUnitsPerByte = 4;

std::mutex &registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

QHash<QString, ArchiveDecoder> &registry()
{
    static QHash<QString, ArchiveDecoder> decoders;
    return decoders;
}

ArchiveDecoder registeredDecoder(const QString &className)
{
    const std::lock_guard lock(registryMutex());
    return registry().value(className);
}

enum class ClassKind { Registered, Array, Dictionary, Date, String, Data };

ClassKind classKind(QStringView name)
{
    if (name == kArrayClass || name == kMutableArrayClass)
        return ClassKind::Array;
    if (name == kDictionaryClass || name == kMutableDictionaryClass)
        return ClassKind::Dictionary;
    if (name == kDateClass)
        return ClassKind::Date;
    if (name == kStringClass || name == kMutableStringClass)
        return ClassKind::String;
    if (name == kDataClass || name == kMutableDataClass)
        return ClassKind::Data;
    return ClassKind::Registered;
}

struct ArchiveClass
{
    QString name;
    ClassKind kind = ClassKind::Registered;
    ArchiveDecoder decoder;
};

// Where the keys asked of the objects decoded last at one depth were found. Objects decoded one
// after the other at one depth (the items of a list) mostly have the very same key objects in
// the same order, and then the same answers.
struct KeyPlaces
{
    static constexpr size_t kMaxKeys = 16;

    ArchivePlistReader::Refs keys;
    const unsigned char *lastChecked = nullptr; // the keys of the object last found to match
    // A copy of each key asked, which keeps its storage and so its address for this key text.
    std::vector<std::pair<QString, std::optional<uint64_t>>> places;
    size_t next = 0; // decoders ask their keys in one order: the search starts after the last

    const std::optional<uint64_t> *find(const QString &key)
    {
        size_t at = next < places.size() ? next : 0;
        for (size_t tried = 0; tried < places.size(); ++tried) {
            if (places[at].first.constData() == key.constData() &&
                places[at].first.size() == key.size()) {
                next = at + 1;
                return &places[at].second;
            }
            at = at + 1 < places.size() ? at + 1 : 0;
        }
        return nullptr;
    }
};

} // namespace

void registerArchiveClass(const QString &className, ArchiveDecoder decoder)
{
    const std::lock_guard lock(registryMutex());
    registry().insert(className, std::move(decoder));
}

class KeyedUnarchiver::Private
{
public:
    Private(KeyedUnarchiver &coder, const ArchiveClasses &classes, const ArchiveContext &context)
        : m_coder(coder), m_allowedClasses(classes), m_context(context)
    {}

    std::optional<ArchiveValue> unarchive(const QByteArray &data);
    const ArchiveContext &context() const { return m_context; }
    qsizetype archiveSize() const { return m_archiveSize; }

    // The value under key in the object being decoded; nullopt when absent or after a failure.
    std::optional<uint64_t> valueFor(const QString &key);
    std::optional<int64_t> integerFor(uint64_t object, const QString &key);
    std::optional<double> numberFor(uint64_t object, const QString &key);
    ArchiveValue decodeUid(uint64_t uid);

    void fail(const QString &reason);
    bool failed() const { return m_failed; }
    const QString &failureReason() const { return m_failureReason; }

    Reader reader;

private:
    std::optional<uint64_t> rootUid();
    // Decodes an object of the property list once; later calls answer the same value.
    ArchiveValue decodeObject(uint64_t object);
    ArchiveValue decodeFresh(uint64_t object);
    ArchiveValue decodeClassed(const Reader::Dictionary &entries);
    const ArchiveClass *archiveClass(uint64_t uid);
    ArchiveValue decodeArray(const Reader::Dictionary &object, const QString &className);
    ArchiveValue decodeDictionary(const Reader::Dictionary &object, const QString &className);
    ArchiveValue decodeRegistered(const Reader::Dictionary &object,
                                  const ArchiveClass &archiveClass);
    // The values of a list of references, each decoded.
    std::optional<ArchiveArray> decodeUidList(const Reader::Dictionary &object, QStringView key);
    ArchiveValue failDamaged(const QString &className);
    // Takes units from what may still be decoded; false, and the decoding failed, when they
    // exceed it.
    bool spend(uint64_t units);
    // The value of a string or data read, once its size is spent; null after a failure.
    template <class T, class Make>
    ArchiveValue sizedValue(const std::optional<T> &read, Make make, const QString &className);
    // The value of the last entry of an archived object under key.
    std::optional<uint64_t> objectValue(const Reader::Dictionary &object, const QString &key);
    // The position of that entry, found by passing over the object's keys.
    std::optional<uint64_t> keyPosition(const Reader::Dictionary &object, const QString &key) const;

    KeyedUnarchiver &m_coder;
    const ArchiveClasses &m_allowedClasses;
    const ArchiveContext &m_context;
    qsizetype m_archiveSize = 0;
    uint64_t m_unitsLeft = 0;
    Reader::Refs m_objectList;
    // Per object of the property list: 0 when not yet decoded, kInProgress, or its index + 1
    // in m_values.
    std::vector<uint32_t> m_state;
    std::vector<ArchiveValue> m_values;
    std::unordered_map<uint64_t, ArchiveClass> m_classes; // by class record object
    mutable ArchiveRecentStrings<bool> m_keyMatches;      // by key text and key object
    std::vector<KeyPlaces> m_keyPlaces;                   // by depth
    // The objects whose decoders run, innermost last.
    std::vector<Reader::Dictionary> m_frames;
    int m_depth = 0;
    bool m_failed = false;
    QString m_failureReason;
};

void KeyedUnarchiver::Private::fail(const QString &reason)
{
    if (m_failed)
        return;
    m_failed = true;
    m_failureReason =
        reason.isEmpty() ? QStringLiteral("The archive could not be decoded.") : reason;
}

std::optional<ArchiveValue> KeyedUnarchiver::Private::unarchive(const QByteArray &data)
{
    if (!reader.open(data)) {
        fail(QStringLiteral("The data is not a binary property list."));
        return std::nullopt;
    }
    const std::optional<uint64_t> root = rootUid();
    if (!root)
        return std::nullopt;
    m_state.assign(reader.objectCount(), 0);
    m_archiveSize = data.size();
    m_unitsLeft = kDecodedUnitsPerByte * static_cast<uint64_t>(data.size());
    ArchiveValue value = decodeUid(*root);
    if (m_failed)
        return std::nullopt;
    return value;
}

std::optional<uint64_t> KeyedUnarchiver::Private::rootUid()
{
    const std::optional<Reader::Dictionary> top = reader.dictionary(reader.rootObject());
    if (!top) {
        fail(QStringLiteral("The archive has no top-level dictionary."));
        return std::nullopt;
    }
    const std::optional<uint64_t> archiver = reader.valueForKey(*top, kArchiver);
    if (!archiver || !reader.stringEquals(*archiver, kArchiverName)) {
        fail(QStringLiteral("The data is not a keyed archive."));
        return std::nullopt;
    }
    const std::optional<uint64_t> version = reader.valueForKey(*top, kVersion);
    if (!version || !reader.integer(*version)) {
        fail(QStringLiteral("The archive has no version number."));
        return std::nullopt;
    }
    const std::optional<uint64_t> objects = reader.valueForKey(*top, kObjectList);
    const std::optional<Reader::Refs> objectList = objects ? reader.array(*objects) : std::nullopt;
    if (!objectList || objectList->count == 0 ||
        !reader.stringEquals(reader.refAt(*objectList, 0), kNullObject)) {
        fail(QStringLiteral("The object list of the archive is missing or damaged."));
        return std::nullopt;
    }
    m_objectList = *objectList;
    const std::optional<uint64_t> topObject = reader.valueForKey(*top, kTop);
    const std::optional<Reader::Dictionary> topEntries =
        topObject ? reader.dictionary(*topObject) : std::nullopt;
    const std::optional<uint64_t> rootRef =
        topEntries ? reader.valueForKey(*topEntries, kRoot) : std::nullopt;
    const std::optional<uint64_t> uid = rootRef ? reader.uid(*rootRef) : std::nullopt;
    if (!uid)
        fail(QStringLiteral("The archive has no root object."));
    return uid;
}

ArchiveValue KeyedUnarchiver::Private::decodeUid(uint64_t uid)
{
    if (m_failed || uid == 0)
        return {};
    if (uid >= m_objectList.count) {
        fail(QStringLiteral("A reference in the archive points past the end of its object list."));
        return {};
    }
    return decodeObject(reader.refAt(m_objectList, uid));
}

ArchiveValue KeyedUnarchiver::Private::decodeObject(uint64_t object)
{
    if (object >= m_state.size())
        return failDamaged({});
    const uint32_t state = m_state[object];
    if (state == kInProgress) {
        fail(QStringLiteral("An object in the archive contains itself."));
        return {};
    }
    if (state != 0)
        return m_values[state - 1];
    if (m_depth >= kMaxDepth) {
        fail(QStringLiteral("The objects in the archive are nested too deeply."));
        return {};
    }
    m_state[object] = kInProgress;
    ++m_depth;
    ArchiveValue value = decodeFresh(object);
    --m_depth;
    if (m_failed)
        return {};
    m_values.push_back(value);
    m_state[object] = static_cast<uint32_t>(m_values.size());
    return value;
}

ArchiveValue KeyedUnarchiver::Private::decodeFresh(uint64_t object)
{
    auto valueOrFail = [this](const auto &read, auto make) {
        return read ? make(*read) : failDamaged({});
    };
    // Most objects are archived objects, read first.
    if (const std::optional<Reader::Dictionary> entries = reader.dictionary(object))
        return decodeClassed(*entries);
    switch (reader.type(object)) {
    case Reader::Type::Bool:
        return valueOrFail(reader.boolean(object), ArchiveValue::boolean);
    case Reader::Type::Integer:
        return valueOrFail(reader.integer(object), ArchiveValue::integer);
    case Reader::Type::Real:
        return valueOrFail(reader.real(object), ArchiveValue::real);
    case Reader::Type::Date:
        return valueOrFail(reader.date(object),
                           [](double seconds) { return ArchiveValue::date(Date(seconds)); });
    case Reader::Type::Data:
        return sizedValue(reader.data(object), ArchiveValue::data, {});
    case Reader::Type::String:
        return sizedValue(reader.string(object), ArchiveValue::string, {});
    case Reader::Type::Dictionary: // one whose entries do not fit in the data
    case Reader::Type::Uid:
    case Reader::Type::Array:
    case Reader::Type::Invalid:
        break;
    }
    return failDamaged({});
}

ArchiveValue KeyedUnarchiver::Private::failDamaged(const QString &className)
{
    if (className.isEmpty())
        fail(QStringLiteral("An object in the archive is damaged or of an unsupported kind."));
    else
        fail(QStringLiteral("An archived object of class “%1” is damaged.").arg(className));
    return {};
}

bool KeyedUnarchiver::Private::spend(uint64_t units)
{
    if (units > m_unitsLeft) {
        fail(QStringLiteral("The archive is damaged: it would decode to far more values than its "
                            "size can hold."));
        return false;
    }
    m_unitsLeft -= units;
    return true;
}

template <class T, class Make>
ArchiveValue KeyedUnarchiver::Private::sizedValue(const std::optional<T> &read, Make make,
                                                  const QString &className)
{
    if (!read)
        return failDamaged(className);
    return spend(static_cast<uint64_t>(read->size())) ? make(*read) : ArchiveValue();
}

ArchiveValue KeyedUnarchiver::Private::decodeClassed(const Reader::Dictionary &entries)
{
    // Every look-up of a key passes over the object's keys.
    if (!spend(entries.keys.count))
        return {};
    static const QString classKey = kClassReference.toString();
    const std::optional<uint64_t> classRef = objectValue(entries, classKey);
    const std::optional<uint64_t> classUid = classRef ? reader.uid(*classRef) : std::nullopt;
    if (!classUid) {
        fail(QStringLiteral("An object in the archive has no class."));
        return {};
    }
    const ArchiveClass *archiveClass = this->archiveClass(*classUid);
    if (!archiveClass)
        return {};
    switch (archiveClass->kind) {
    case ClassKind::Array:
        return decodeArray(entries, archiveClass->name);
    case ClassKind::Dictionary:
        return decodeDictionary(entries, archiveClass->name);
    case ClassKind::Date: {
        const std::optional<uint64_t> time = reader.valueForKey(entries, kTime);
        const std::optional<double> seconds =
            time ? numberFor(*time, kTime.toString()) : std::nullopt;
        return seconds ? ArchiveValue::date(Date(*seconds)) : failDamaged(archiveClass->name);
    }
    case ClassKind::String: {
        const std::optional<uint64_t> text = reader.valueForKey(entries, kString);
        return sizedValue(text ? reader.string(*text) : std::nullopt, ArchiveValue::string,
                          archiveClass->name);
    }
    case ClassKind::Data: {
        const std::optional<uint64_t> bytes = reader.valueForKey(entries, kData);
        return sizedValue(bytes ? reader.data(*bytes) : std::nullopt, ArchiveValue::data,
                          archiveClass->name);
    }
    case ClassKind::Registered:
        break;
    }
    return decodeRegistered(entries, *archiveClass);
}

const ArchiveClass *KeyedUnarchiver::Private::archiveClass(uint64_t uid)
{
    if (uid >= m_objectList.count) {
        fail(QStringLiteral("A reference in the archive points past the end of its object list."));
        return nullptr;
    }
    // Cached by the record itself, so that many references to one record cost one check.
    const uint64_t record = reader.refAt(m_objectList, uid);
    const auto found = m_classes.find(record);
    if (found != m_classes.end())
        return &found->second;

    const std::optional<Reader::Dictionary> entries = reader.dictionary(record);
    const std::optional<uint64_t> nameRef =
        entries ? reader.valueForKey(*entries, kClassName) : std::nullopt;
    const std::optional<QString> name = nameRef ? reader.string(*nameRef) : std::nullopt;
    const std::optional<uint64_t> chainRef =
        entries ? reader.valueForKey(*entries, kClassChain) : std::nullopt;
    const std::optional<Reader::Refs> chain = chainRef ? reader.array(*chainRef) : std::nullopt;
    bool wellFormed = name && chain;
    if (wellFormed && !spend(entries->keys.count + chain->count))
        return nullptr;
    for (uint64_t i = 0; wellFormed && i < chain->count; ++i)
        wellFormed = reader.type(reader.refAt(*chain, i)) == Reader::Type::String;
    if (!wellFormed) {
        fail(QStringLiteral("A class record in the archive is damaged."));
        return nullptr;
    }
    ArchiveClass archiveClass{*name, classKind(*name), {}};
    if (archiveClass.kind == ClassKind::Registered) {
        if (!m_allowedClasses.contains(*name)) {
            fail(QStringLiteral("The archive contains an object of the class “%1”, which it may "
                                "not hold.")
                     .arg(*name));
            return nullptr;
        }
        archiveClass.decoder = registeredDecoder(*name);
        if (!archiveClass.decoder) {
            fail(QStringLiteral("The archive contains an object of the unknown class “%1”.")
                     .arg(*name));
            return nullptr;
        }
    }
    return &m_classes.emplace(record, std::move(archiveClass)).first->second;
}

std::optional<ArchiveArray>
KeyedUnarchiver::Private::decodeUidList(const Reader::Dictionary &object, QStringView key)
{
    const std::optional<uint64_t> listRef = reader.valueForKey(object, key);
    const std::optional<Reader::Refs> list = listRef ? reader.array(*listRef) : std::nullopt;
    if (!list || !spend(list->count))
        return std::nullopt;
    ArchiveArray values;
    values.reserve(static_cast<qsizetype>(list->count)); // bounded by the size of the data
    for (uint64_t i = 0; i < list->count; ++i) {
        const std::optional<uint64_t> uid = reader.uid(reader.refAt(*list, i));
        if (!uid)
            return std::nullopt;
        values.append(decodeUid(*uid));
        if (m_failed)
            return std::nullopt;
    }
    return values;
}

ArchiveValue KeyedUnarchiver::Private::decodeArray(const Reader::Dictionary &object,
                                                   const QString &className)
{
    std::optional<ArchiveArray> values = decodeUidList(object, kObjects);
    if (!values)
        return failDamaged(className);
    return ArchiveValue::array(std::move(*values));
}

ArchiveValue KeyedUnarchiver::Private::decodeDictionary(const Reader::Dictionary &object,
                                                        const QString &className)
{
    const std::optional<ArchiveArray> keys = decodeUidList(object, kKeys);
    const std::optional<ArchiveArray> values =
        keys ? decodeUidList(object, kObjects) : std::nullopt;
    if (!values || keys->size() != values->size())
        return failDamaged(className);
    ArchiveDictionary entries;
    entries.reserve(keys->size());
    for (qsizetype i = 0; i < keys->size(); ++i) {
        const ArchiveValue &key = keys->at(i);
        if (!key.isNumber() && key.kind() != ArchiveValue::Kind::String)
            return failDamaged(className);
        entries.append({key, values->at(i)});
    }
    return ArchiveValue::dictionary(std::move(entries));
}

ArchiveValue KeyedUnarchiver::Private::decodeRegistered(const Reader::Dictionary &object,
                                                        const ArchiveClass &archiveClass)
{
    m_frames.push_back(object);
    const ArchivablePtr decoded = archiveClass.decoder(m_coder);
    m_frames.pop_back();
    if (m_failed)
        return {};
    if (!decoded) {
        fail(
            QStringLiteral("An object of class “%1” could not be decoded.").arg(archiveClass.name));
        return {};
    }
    return ArchiveValue::object(decoded);
}

std::optional<uint64_t> KeyedUnarchiver::Private::keyPosition(const Reader::Dictionary &object,
                                                              const QString &key) const
{
    // Objects of one class share their key objects: most comparisons are remembered ones.
    for (uint64_t i = object.keys.count; i > 0; --i) {
        const uint64_t keyObject = reader.refAt(object.keys, i - 1);
        if (m_keyMatches.value(key, keyObject, [&] { return reader.stringEquals(keyObject, key); }))
            return i - 1;
    }
    return std::nullopt;
}

std::optional<uint64_t> KeyedUnarchiver::Private::objectValue(const Reader::Dictionary &object,
                                                              const QString &key)
{
    const auto depth = static_cast<size_t>(m_depth);
    if (m_keyPlaces.size() <= depth)
        m_keyPlaces.resize(depth + 1);
    KeyPlaces &known = m_keyPlaces[depth];
    if (known.lastChecked != object.keys.bytes) {
        if (!reader.sameRefs(known.keys, object.keys))
            known = {object.keys, nullptr, {}};
        known.lastChecked = object.keys.bytes;
    }
    std::optional<uint64_t> position;
    if (const std::optional<uint64_t> *place = known.find(key)) {
        position = *place;
    } else {
        position = keyPosition(object, key);
        if (known.places.size() < KeyPlaces::kMaxKeys)
            known.places.emplace_back(key, position);
    }
    return position ? std::optional<uint64_t>(reader.refAt(object.values, *position))
                    : std::nullopt;
}

std::optional<uint64_t> KeyedUnarchiver::Private::valueFor(const QString &key)
{
    if (m_failed || m_frames.empty())
        return std::nullopt;
    return objectValue(m_frames.back(), escapedKey(key));
}

std::optional<int64_t> KeyedUnarchiver::Private::integerFor(uint64_t object, const QString &key)
{
    const std::optional<int64_t> value = reader.integer(object);
    if (value)
        return value;
    if (reader.type(object) != Reader::Type::Integer)
        fail(QStringLiteral("The value for the key “%1” is not an integer.").arg(key));
    else
        fail(QStringLiteral("The value for the key “%1” does not fit in 64 bits.").arg(key));
    return std::nullopt;
}

std::optional<double> KeyedUnarchiver::Private::numberFor(uint64_t object, const QString &key)
{
    if (const std::optional<double> value = reader.real(object))
        return value;
    if (reader.type(object) == Reader::Type::Integer) {
        const std::optional<int64_t> value = integerFor(object, key);
        return value ? std::optional<double>(static_cast<double>(*value)) : std::nullopt;
    }
    fail(QStringLiteral("The value for the key “%1” is not a number.").arg(key));
    return std::nullopt;
}

KeyedUnarchiver::KeyedUnarchiver(const ArchiveClasses &classes, const ArchiveContext &context)
    : d(std::make_unique<Private>(*this, classes, context))
{}

KeyedUnarchiver::~KeyedUnarchiver() = default;

std::optional<ArchiveValue> KeyedUnarchiver::unarchive(const QByteArray &data,
                                                       const ArchiveClasses &classes, Error *error,
                                                       const ArchiveContext &context)
{
    KeyedUnarchiver coder(classes, context);
    std::optional<ArchiveValue> root = coder.d->unarchive(data);
    if (!root)
        setError(error, Error(kErrorDomain, kUnreadableArchiveCode, coder.d->failureReason()));
    return root;
}

Error KeyedUnarchiver::wrongRootClassError()
{
    return Error(kErrorDomain, kWrongRootClassCode,
                 QStringLiteral("The archive does not hold an object of the expected kind."));
}

bool KeyedUnarchiver::containsValue(const QString &key) const
{
    return d->valueFor(key).has_value();
}

bool KeyedUnarchiver::decodeBool(const QString &key)
{
    const std::optional<uint64_t> object = d->valueFor(key);
    if (!object)
        return false;
    const std::optional<bool> value = d->reader.boolean(*object);
    if (!value)
        d->fail(QStringLiteral("The value for the key “%1” is not a boolean.").arg(key));
    return value.value_or(false);
}

int32_t KeyedUnarchiver::decodeInt32(const QString &key)
{
    const int64_t value = decodeInt64(key);
    if (value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max()) {
        d->fail(QStringLiteral("The value for the key “%1” does not fit in 32 bits.").arg(key));
        return 0;
    }
    return static_cast<int32_t>(value);
}

int64_t KeyedUnarchiver::decodeInt64(const QString &key)
{
    const std::optional<uint64_t> object = d->valueFor(key);
    return object ? d->integerFor(*object, key).value_or(0) : 0;
}

float KeyedUnarchiver::decodeFloat(const QString &key)
{
    const double value = decodeDouble(key);
    if (std::isfinite(value) && std::abs(value) > std::numeric_limits<float>::max()) {
        d->fail(
            QStringLiteral("The value for the key “%1” does not fit in a single-precision number.")
                .arg(key));
        return 0.0f;
    }
    return static_cast<float>(value);
}

double KeyedUnarchiver::decodeDouble(const QString &key)
{
    const std::optional<uint64_t> object = d->valueFor(key);
    return object ? d->numberFor(*object, key).value_or(0.0) : 0.0;
}

ArchiveValue KeyedUnarchiver::decodeObject(const QString &key)
{
    const std::optional<uint64_t> object = d->valueFor(key);
    if (!object)
        return {};
    const std::optional<uint64_t> uid = d->reader.uid(*object);
    if (!uid) {
        d->fail(QStringLiteral("The value for the key “%1” is not an object reference.").arg(key));
        return {};
    }
    return d->decodeUid(*uid);
}

std::optional<int64_t> KeyedUnarchiver::contextValue(const QString &name) const
{
    const auto found = d->context().constFind(name);
    return found == d->context().constEnd() ? std::nullopt : std::optional<int64_t>(*found);
}

qsizetype KeyedUnarchiver::archiveSize() const
{
    return d->archiveSize();
}

void KeyedUnarchiver::failWithReason(const QString &reason)
{
    d->fail(reason);
}

bool KeyedUnarchiver::hasFailed() const
{
    return d->failed();
}

} // namespace lq
