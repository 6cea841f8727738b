#pragma once

#include <QByteArray>

#include <plist/plist.h>

#include <memory>

namespace lq {

struct PlistDeleter
{
    void operator()(plist_t node) const { plist_free(node); }
};

// Owns a property-list node tree.
using PlistPtr = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistDeleter>;

// Binary property-list bytes of a tree; empty on failure.
QByteArray plistToBinary(plist_t root);

// Parses binary property-list bytes; null when they are not one.
PlistPtr plistFromBinary(const QByteArray &bytes);

} // namespace lq
