#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/BoolValue.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Plist.h"
#include "platform/foundation/SettingsFile.h"

#include <QCoreApplication>
#include <QLocale>
#include <QMetaObject>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace lq {
namespace {

const QString kErrorDomain = QStringLiteral("userDefaults");

bool isDate(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<Date>();
}

bool holdsNul(const QString &text)
{
    return text.contains(QChar(u'\0'));
}

// The form the store keeps a value in: integers as qint64, reals as double. Invalid when the
// value, or anything inside it, is of a kind the store cannot hold (property-list strings end
// at a NUL, so strings holding one are refused rather than cut short).
QVariant storableValue(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::QByteArray:
        return value;
    case QMetaType::Int:
    case QMetaType::UInt:
        return QVariant(value.toLongLong());
    case QMetaType::Float:
        return QVariant(static_cast<double>(value.toFloat()));
    case QMetaType::QString:
        return holdsNul(value.toString()) ? QVariant() : value;
    case QMetaType::QVariantList: {
        QVariantList list;
        for (const QVariant &item : value.toList()) {
            QVariant stored = storableValue(item);
            if (!stored.isValid())
                return {};
            list.append(std::move(stored));
        }
        return list;
    }
    case QMetaType::QVariantMap: {
        const QVariantMap source = value.toMap();
        QVariantMap map;
        for (auto it = source.cbegin(); it != source.cend(); ++it) {
            QVariant stored = storableValue(it.value());
            if (!stored.isValid() || holdsNul(it.key()))
                return {};
            map.insert(it.key(), std::move(stored));
        }
        return map;
    }
    default:
        return isDate(value) ? value : QVariant();
    }
}

// Equal values of the same kind, all the way down (QVariant alone finds true == 1).
bool sameValue(const QVariant &first, const QVariant &second)
{
    if (first.metaType() != second.metaType())
        return false;
    if (first.metaType().id() == QMetaType::QVariantList) {
        const QVariantList a = first.toList();
        const QVariantList b = second.toList();
        return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(), sameValue);
    }
    if (first.metaType().id() == QMetaType::QVariantMap) {
        const QVariantMap a = first.toMap();
        const QVariantMap b = second.toMap();
        return a.keys() == b.keys() && std::equal(a.cbegin(), a.cend(), b.cbegin(), sameValue);
    }
    return first == second;
}

// libplist 2.2 keeps a date as a double of seconds since 2001, but its date calls pass 32-bit
// whole seconds and truncated microseconds. A binary list holding only the date carries the
// double exactly: "bplist00", the date object (marker 0x33, big-endian double), its offset.
constexpr qsizetype kLoneObjectOffset = 8;
constexpr char kDateMarker = 0x33;

void appendBigEndian(QByteArray &bytes, quint64 value)
{
    const quint64 bigEndian = qToBigEndian(value);
    bytes.append(reinterpret_cast<const char *>(&bigEndian), sizeof bigEndian);
}

PlistPtr dateNode(Date date)
{
    QByteArray bytes = QByteArrayLiteral("bplist00");
    bytes.append(kDateMarker);
    appendBigEndian(bytes, std::bit_cast<quint64>(date.secondsSinceReferenceDate()));
    const qsizetype offsetTable = bytes.size();
    bytes.append(static_cast<char>(kLoneObjectOffset));
    bytes.append(6, '\0');     // trailer: unused
    bytes.append(2, '\1');     // one-byte offsets and object references
    appendBigEndian(bytes, 1); // one object
    appendBigEndian(bytes, 0); // the root is object 0
    appendBigEndian(bytes, static_cast<quint64>(offsetTable));
    return plistFromBinary(bytes);
}

std::optional<Date> dateOfNode(plist_t node)
{
    const PlistPtr lone(plist_copy(node));
    const QByteArray bytes = plistToBinary(lone.get());
    constexpr qsizetype valueOffset = kLoneObjectOffset + 1;
    if (bytes.size() < valueOffset + 8 || bytes.at(kLoneObjectOffset) != kDateMarker)
        return std::nullopt;
    const auto bits = qFromBigEndian<quint64>(bytes.constData() + valueOffset);
    return Date(std::bit_cast<double>(bits));
}

// value is in the store's form (see storableValue).
PlistPtr plistOf(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return PlistPtr(plist_new_bool(value.toBool()));
    case QMetaType::LongLong: // libplist 2.2 has unsigned integers only: negatives go sign-extended
        return PlistPtr(plist_new_uint(static_cast<uint64_t>(value.toLongLong())));
    case QMetaType::Double:
        return PlistPtr(plist_new_real(value.toDouble()));
    case QMetaType::QString:
        return PlistPtr(plist_new_string(value.toString().toUtf8().constData()));
    case QMetaType::QByteArray: {
        const QByteArray data = value.toByteArray();
        return PlistPtr(plist_new_data(data.constData(), static_cast<uint64_t>(data.size())));
    }
    case QMetaType::QVariantList: {
        PlistPtr array(plist_new_array());
        for (const QVariant &item : value.toList())
            plist_array_append_item(array.get(), plistOf(item).release());
        return array;
    }
    case QMetaType::QVariantMap: {
        PlistPtr dict(plist_new_dict());
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            plist_dict_set_item(dict.get(), it.key().toUtf8().constData(),
                                plistOf(it.value()).release());
        return dict;
    }
    default:
        return dateNode(value.value<Date>());
    }
}

QVariant valueOf(plist_t node);

QVariant listOf(plist_t array)
{
    QVariantList list;
    const uint32_t count = plist_array_get_size(array);
    for (uint32_t i = 0; i < count; ++i) {
        QVariant item = valueOf(plist_array_get_item(array, i));
        if (!item.isValid())
            return {};
        list.append(std::move(item));
    }
    return list;
}

// Calls visit with each key and item of a dictionary.
template <class Visit>
void forEachItem(plist_t dict, Visit visit)
{
    using FreeOnExit = std::unique_ptr<void, decltype(&std::free)>;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(dict, &iter);
    const FreeOnExit iterOwner(iter, &std::free);
    for (;;) {
        char *key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(dict, iter, &key, &item);
        const FreeOnExit keyOwner(key, &std::free);
        if (!item)
            return;
        visit(QString::fromUtf8(key), item);
    }
}

QVariant mapOf(plist_t dict)
{
    QVariantMap map;
    bool known = true;
    forEachItem(dict, [&](const QString &key, plist_t item) {
        if (!known)
            return;
        QVariant value = valueOf(item);
        known = value.isValid();
        map.insert(key, std::move(value));
    });
    return known ? QVariant(map) : QVariant();
}

// Invalid when the node, or anything inside it, is of a kind the store does not hold.
QVariant valueOf(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t flag = 0;
        plist_get_bool_val(node, &flag);
        return QVariant(flag != 0);
    }
    case PLIST_UINT: {
        uint64_t bits = 0;
        plist_get_uint_val(node, &bits);
        return QVariant(static_cast<qint64>(bits));
    }
    case PLIST_REAL: {
        double real = 0.0;
        plist_get_real_val(node, &real);
        return QVariant(real);
    }
    case PLIST_STRING: {
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(node, &length);
        return QVariant(QString::fromUtf8(text, static_cast<qsizetype>(length)));
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char *data = plist_get_data_ptr(node, &length);
        return QVariant(QByteArray(data, static_cast<qsizetype>(length)));
    }
    case PLIST_DATE: {
        const std::optional<Date> date = dateOfNode(node);
        return date ? QVariant::fromValue(*date) : QVariant();
    }
    case PLIST_ARRAY:
        return listOf(node);
    case PLIST_DICT:
        return mapOf(node);
    default:
        return {};
    }
}

double realFromString(const QString &text)
{
    bool ok = false;
    const double real = text.trimmed().toDouble(&ok);
    return ok ? real : 0.0;
}

int64_t truncatedInteger(double real)
{
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (std::isnan(real))
        return 0;
    if (real >= limit)
        return std::numeric_limits<int64_t>::max();
    if (real < -limit)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(real);
}

int64_t integerFrom(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::Double:
        return truncatedInteger(value.toDouble());
    case QMetaType::QString: {
        bool ok = false;
        const qint64 integer = value.toString().trimmed().toLongLong(&ok);
        return ok ? integer : truncatedInteger(realFromString(value.toString()));
    }
    default:
        return 0;
    }
}

double realFrom(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::LongLong:
    case QMetaType::Double:
        return value.toDouble();
    case QMetaType::QString:
        return realFromString(value.toString());
    default:
        return 0.0;
    }
}

QString stringFrom(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::LongLong:
        return QString::number(value.toLongLong());
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    default:
        return {};
    }
}

template <class T>
T ofKind(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<T>() ? value.value<T>() : T();
}

QString standardFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Luma Quill/settings.plist");
}

struct StandardStore
{
    std::mutex mutex;
    QString filePath; // empty: the standard place
    std::unique_ptr<UserDefaults> defaults;
};

StandardStore &standardStore()
{
    static StandardStore store;
    return store;
}

} // namespace

class UserDefaults::Private
{
public:
    Private(UserDefaults *owner, QString path) : q(owner), file(std::move(path)) {}

    void load();
    void change(const QString &key, const QVariant &value); // an invalid value removes
    void saveScheduledChanges();
    bool save(Error *error);
    void saveOrLog();

    UserDefaults *const q;
    SettingsFile file;

    mutable std::mutex mutex; // guards the members below
    QVariantMap values;
    // The keys changed since the last save, with their new values (invalid: removed). Only
    // these are written, so that keys another store saved in the meantime stay.
    QVariantMap changes;
    bool saveScheduled = false;

    std::mutex saveMutex; // one write at a time, so the newest snapshot is written last
};

void UserDefaults::Private::load()
{
    file.removeLeftovers();
    bool unreadable = false;
    const PlistPtr root = file.read(&unreadable);
    if (unreadable) {
        log(QStringLiteral("The settings in “%1” could not be read; starting with no settings. The "
                           "file will be kept as “%2”.")
                .arg(file.path(), file.damagedPath()));
        return;
    }
    if (!root)
        return;
    forEachItem(root.get(), [this](const QString &key, plist_t item) {
        QVariant value = valueOf(item);
        if (value.isValid())
            values.insert(key, std::move(value));
        else
            log(QStringLiteral("The setting “%1” in “%2” holds a kind of value this program does "
                               "not read; it is left as it is.")
                    .arg(key, file.path()));
    });
}

void UserDefaults::Private::change(const QString &key, const QVariant &value)
{
    bool scheduleSave = false;
    {
        std::lock_guard lock(mutex);
        const auto old = values.constFind(key);
        const bool present = old != values.cend();
        if (value.isValid() ? present && sameValue(*old, value) : !present)
            return;
        if (value.isValid())
            values.insert(key, value);
        else
            values.remove(key);
        changes.insert(key, value);
        scheduleSave = !std::exchange(saveScheduled, true);
    }
    if (scheduleSave)
        QMetaObject::invokeMethod(
            q, [this] { saveScheduledChanges(); }, Qt::QueuedConnection);
    Q_EMIT q->valueChanged(key);
}

void UserDefaults::Private::saveScheduledChanges()
{
    {
        std::lock_guard lock(mutex);
        saveScheduled = false;
    }
    saveOrLog();
}

void UserDefaults::Private::saveOrLog()
{
    Error error;
    if (!save(&error))
        log(error.localizedDescription());
}

bool UserDefaults::Private::save(Error *error)
{
    std::lock_guard oneAtATime(saveMutex);
    QVariantMap saving;
    {
        std::lock_guard lock(mutex);
        if (changes.isEmpty())
            return true;
        saving = std::exchange(changes, {});
    }
    const bool saved = file.update(
        [&saving](plist_t dictionary) {
            for (auto it = saving.cbegin(); it != saving.cend(); ++it) {
                const QByteArray key = it.key().toUtf8();
                if (it.value().isValid())
                    plist_dict_set_item(dictionary, key.constData(), plistOf(it.value()).release());
                else
                    plist_dict_remove_item(dictionary, key.constData());
            }
        },
        error);
    if (saved)
        return true;
    std::lock_guard lock(mutex);
    // Tried again on the next change or synchronize; changes made meanwhile are newer.
    for (auto it = saving.cbegin(); it != saving.cend(); ++it) {
        if (!changes.contains(it.key()))
            changes.insert(it.key(), it.value());
    }
    return false;
}

UserDefaults &UserDefaults::standard()
{
    StandardStore &store = standardStore();
    std::lock_guard lock(store.mutex);
    if (!store.defaults) {
        store.defaults = std::make_unique<UserDefaults>(
            store.filePath.isEmpty() ? standardFilePath() : store.filePath);
        // Scheduled saves need a thread that keeps running its event loop.
        if (const QCoreApplication *app = QCoreApplication::instance())
            store.defaults->moveToThread(app->thread());
    }
    return *store.defaults;
}

void UserDefaults::resetStandard(const QString &filePath)
{
    StandardStore &store = standardStore();
    std::unique_ptr<UserDefaults> previous; // saved and destroyed outside the lock
    {
        std::lock_guard lock(store.mutex);
        previous = std::move(store.defaults);
        store.filePath = filePath;
    }
}

UserDefaults::UserDefaults(const QString &filePath, QObject *parent)
    : QObject(parent), d(std::make_unique<Private>(this, filePath))
{
    d->load();
}

UserDefaults::~UserDefaults()
{
    d->saveOrLog();
}

QString UserDefaults::filePath() const
{
    return d->file.path();
}

QVariant UserDefaults::object(const QString &key) const
{
    std::lock_guard lock(d->mutex);
    return d->values.value(key);
}

QVariantMap UserDefaults::dictionaryRepresentation() const
{
    std::lock_guard lock(d->mutex);
    return d->values;
}

bool UserDefaults::contains(const QString &key) const
{
    std::lock_guard lock(d->mutex);
    return d->values.contains(key);
}

bool UserDefaults::boolForKey(const QString &key) const
{
    return boolValue(object(key));
}

int64_t UserDefaults::integerForKey(const QString &key) const
{
    return integerFrom(object(key));
}

float UserDefaults::floatForKey(const QString &key) const
{
    return static_cast<float>(realFrom(object(key)));
}

double UserDefaults::doubleForKey(const QString &key) const
{
    return realFrom(object(key));
}

QString UserDefaults::stringForKey(const QString &key) const
{
    return stringFrom(object(key));
}

QByteArray UserDefaults::dataForKey(const QString &key) const
{
    return ofKind<QByteArray>(object(key));
}

QVariantList UserDefaults::arrayForKey(const QString &key) const
{
    return ofKind<QVariantList>(object(key));
}

QVariantMap UserDefaults::dictionaryForKey(const QString &key) const
{
    return ofKind<QVariantMap>(object(key));
}

void UserDefaults::setObject(const QString &key, const QVariant &value)
{
    if (!value.isValid()) {
        removeObject(key);
        return;
    }
    const QVariant stored = storableValue(value);
    if (!stored.isValid() || holdsNul(key)) {
        log(QStringLiteral(
                "The setting “%1” was left unchanged: a %2 cannot be stored in settings.")
                .arg(key, QString::fromLatin1(value.typeName())));
        return;
    }
    d->change(key, stored);
}

void UserDefaults::setBool(const QString &key, bool value)
{
    setObject(key, QVariant(value));
}

void UserDefaults::setInteger(const QString &key, int64_t value)
{
    setObject(key, QVariant(static_cast<qint64>(value)));
}

void UserDefaults::setFloat(const QString &key, float value)
{
    setObject(key, QVariant(value));
}

void UserDefaults::setDouble(const QString &key, double value)
{
    setObject(key, QVariant(value));
}

void UserDefaults::setString(const QString &key, const QString &value)
{
    setObject(key, QVariant(value));
}

void UserDefaults::removeObject(const QString &key)
{
    d->change(key, QVariant());
}

bool UserDefaults::synchronize(Error *error)
{
    return d->save(error);
}

} // namespace lq
