#include "platform/foundation/ArchiveValue.h"

#include <cmath>
#include <limits>

namespace lq {

ArchiveValue ArchiveValue::boolean(bool value)
{
    return ArchiveValue(Storage(std::in_place_type<bool>, value));
}

ArchiveValue ArchiveValue::integer(int64_t value)
{
    return ArchiveValue(Storage(std::in_place_type<int64_t>, value));
}

ArchiveValue ArchiveValue::real(double value)
{
    return ArchiveValue(Storage(std::in_place_type<double>, value));
}

ArchiveValue ArchiveValue::string(const QString &value)
{
    return ArchiveValue(Storage(std::in_place_type<QString>, value));
}

ArchiveValue ArchiveValue::data(const QByteArray &value)
{
    return ArchiveValue(Storage(std::in_place_type<QByteArray>, value));
}

ArchiveValue ArchiveValue::date(Date value)
{
    return ArchiveValue(Storage(std::in_place_type<Date>, value));
}

ArchiveValue ArchiveValue::array(ArchiveArray values)
{
    return ArchiveValue(std::make_shared<const ArchiveArray>(std::move(values)));
}

ArchiveValue ArchiveValue::dictionary(ArchiveDictionary entries)
{
    return ArchiveValue(std::make_shared<const ArchiveDictionary>(std::move(entries)));
}

ArchiveValue ArchiveValue::object(ArchivablePtr object)
{
    if (!object)
        return {};
    return ArchiveValue(Storage(std::move(object)));
}

ArchiveValue::Kind ArchiveValue::kind() const
{
    // The alternatives of Storage are in the order of Kind.
    return static_cast<Kind>(m_storage.index());
}

bool ArchiveValue::toBool() const
{
    const bool *value = std::get_if<bool>(&m_storage);
    return value && *value;
}

int64_t ArchiveValue::toInteger() const
{
    if (const int64_t *value = std::get_if<int64_t>(&m_storage))
        return *value;
    const double *real = std::get_if<double>(&m_storage);
    if (!real || std::isnan(*real))
        return 0;
    // Saturates: a cast of a double beyond the range of int64_t is undefined.
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (*real >= limit)
        return std::numeric_limits<int64_t>::max();
    if (*real < -limit)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(*real);
}

double ArchiveValue::toReal() const
{
    if (const double *value = std::get_if<double>(&m_storage))
        return *value;
    if (const int64_t *integer = std::get_if<int64_t>(&m_storage))
        return static_cast<double>(*integer);
    return 0.0;
}

QString ArchiveValue::toString() const
{
    const QString *value = std::get_if<QString>(&m_storage);
    return value ? *value : QString();
}

QByteArray ArchiveValue::toData() const
{
    const QByteArray *value = std::get_if<QByteArray>(&m_storage);
    return value ? *value : QByteArray();
}

Date ArchiveValue::toDate() const
{
    const Date *value = std::get_if<Date>(&m_storage);
    return value ? *value : Date();
}

const ArchiveArray &ArchiveValue::toArray() const
{
    static const ArchiveArray empty;
    const auto *value = std::get_if<std::shared_ptr<const ArchiveArray>>(&m_storage);
    return value ? **value : empty;
}

const ArchiveDictionary &ArchiveValue::toDictionary() const
{
    static const ArchiveDictionary empty;
    const auto *value = std::get_if<std::shared_ptr<const ArchiveDictionary>>(&m_storage);
    return value ? **value : empty;
}

ArchivablePtr ArchiveValue::toObject() const
{
    const ArchivablePtr *value = std::get_if<ArchivablePtr>(&m_storage);
    return value ? *value : nullptr;
}

const void *ArchiveValue::sharedIdentity() const
{
    return std::visit(
        [](const auto &value) -> const void * {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, std::shared_ptr<const ArchiveArray>> ||
                          std::is_same_v<T, std::shared_ptr<const ArchiveDictionary>> ||
                          std::is_same_v<T, ArchivablePtr>)
                return value.get();
            else
                return nullptr;
        },
        m_storage);
}

const ArchiveValue *valueForKey(const ArchiveDictionary &dictionary, QStringView key)
{
    for (const auto &[entryKey, entryValue] : dictionary) {
        if (entryKey.kind() == ArchiveValue::Kind::String && entryKey.toString() == key)
            return &entryValue;
    }
    return nullptr;
}

} // namespace lq
