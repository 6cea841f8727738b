#include "platform/foundation/Plist.h"

#include <limits>

namespace lq {

QByteArray plistToBinary(plist_t root)
{
    char *bytes = nullptr; // plist_to_bin writes nothing unless this starts as null
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    if (!bytes)
        return {};
    QByteArray result(bytes, static_cast<qsizetype>(length));
    plist_to_bin_free(bytes);
    return result;
}

PlistPtr plistFromBinary(const QByteArray &bytes)
{
    if (bytes.size() < 8 ||
        static_cast<quint64>(bytes.size()) > std::numeric_limits<uint32_t>::max())
        return nullptr;
    if (!plist_is_binary(bytes.constData(), static_cast<uint32_t>(bytes.size())))
        return nullptr;
    plist_t root = nullptr;
    plist_from_bin(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root);
    return PlistPtr(root);
}

} // namespace lq
