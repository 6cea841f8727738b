#pragma once

#include "platform/foundation/ArchiveValue.h"
#include "platform/text/AttributedRuns.h"

#include <optional>

namespace lq {

// Equal values: the same kind and contents; arrays and dictionaries compared element by
// element, objects by identity.
bool archiveValuesEqual(const ArchiveValue &a, const ArchiveValue &b);

// An array of real numbers.
ArchiveValue realArray(const QList<double> &values);
// The numbers of an array; nullopt when it is not an array of numbers.
std::optional<QList<double>> numbersFrom(const ArchiveValue &value);

// The attributes of a run as an archive holds them: a dictionary of property-list values under
// string keys, in the order they were added.
struct ArchiveAttributes
{
    ArchiveDictionary entries;

    // The value under key; null when absent.
    ArchiveValue value(const QString &key) const;
    // Sets or replaces the value under key.
    void set(const QString &key, const ArchiveValue &value);
    bool isEmpty() const { return entries.isEmpty(); }

    friend bool operator==(const ArchiveAttributes &a, const ArchiveAttributes &b);
};

using ArchivedAttributedString = AttributedRuns<ArchiveAttributes>;

} // namespace lq
