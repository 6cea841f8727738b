#include "platform/text/ArchiveAttributes.h"

namespace lq {

namespace {

bool dictionariesEqual(const ArchiveDictionary &left, const ArchiveDictionary &right)
{
    if (left.size() != right.size())
        return false;
    for (qsizetype i = 0; i < left.size(); ++i) {
        if (!archiveValuesEqual(left[i].first, right[i].first) ||
            !archiveValuesEqual(left[i].second, right[i].second))
            return false;
    }
    return true;
}

} // namespace

ArchiveValue realArray(const QList<double> &values)
{
    ArchiveArray array;
    for (double value : values)
        array.append(ArchiveValue::real(value));
    return ArchiveValue::array(array);
}

std::optional<QList<double>> numbersFrom(const ArchiveValue &value)
{
    if (value.kind() != ArchiveValue::Kind::Array)
        return std::nullopt;
    QList<double> numbers;
    for (const ArchiveValue &entry : value.toArray()) {
        if (!entry.isNumber())
            return std::nullopt;
        numbers.append(entry.toReal());
    }
    return numbers;
}

bool archiveValuesEqual(const ArchiveValue &a, const ArchiveValue &b)
{
    if (a.kind() != b.kind())
        return false;
    switch (a.kind()) {
    case ArchiveValue::Kind::Null:
        return true;
    case ArchiveValue::Kind::Bool:
        return a.toBool() == b.toBool();
    case ArchiveValue::Kind::Integer:
        return a.toInteger() == b.toInteger();
    case ArchiveValue::Kind::Real:
        return a.toReal() == b.toReal();
    case ArchiveValue::Kind::String:
        return a.toString() == b.toString();
    case ArchiveValue::Kind::Data:
        return a.toData() == b.toData();
    case ArchiveValue::Kind::Date:
        return a.toDate().secondsSinceReferenceDate() == b.toDate().secondsSinceReferenceDate();
    case ArchiveValue::Kind::Array: {
        const ArchiveArray &left = a.toArray();
        const ArchiveArray &right = b.toArray();
        if (left.size() != right.size())
            return false;
        for (qsizetype i = 0; i < left.size(); ++i) {
            if (!archiveValuesEqual(left[i], right[i]))
                return false;
        }
        return true;
    }
    case ArchiveValue::Kind::Dictionary:
        return dictionariesEqual(a.toDictionary(), b.toDictionary());
    case ArchiveValue::Kind::Object:
        return a.toObject() == b.toObject();
    }
    return false;
}

ArchiveValue ArchiveAttributes::value(const QString &key) const
{
    const ArchiveValue *found = valueForKey(entries, key);
    return found ? *found : ArchiveValue();
}

void ArchiveAttributes::set(const QString &key, const ArchiveValue &value)
{
    for (auto &[entryKey, entryValue] : entries) {
        if (entryKey.kind() == ArchiveValue::Kind::String && entryKey.toString() == key) {
            entryValue = value;
            return;
        }
    }
    entries.append({ArchiveValue::string(key), value});
}

bool operator==(const ArchiveAttributes &a, const ArchiveAttributes &b)
{
    return dictionariesEqual(a.entries, b.entries);
}

} // namespace lq
