// Feeds arbitrary bytes to the reader of a note's "meta" dictionary and to the version gate with
// what it read. Each input must answer the settings or an error, never crash, hang or allocate
// without bound; what was read must archive again.

#include "document/PackageMeta.h"
#include "document/VersionGate.h"
#include "platform/foundation/Log.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool ready = [] {
        lq::setLogSink([](const QString &) {});
        return true;
    }();
    (void)ready;

    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::optional<PackageMeta> meta = PackageMeta::unarchived(bytes, nullptr);
    if (!meta)
        return 0;
    if (meta->minVersionCanRead)
        (void)VersionGate::accepts(*meta->minVersionCanRead, QStringLiteral("3.1"));
    if (!PackageMeta::unarchived(meta->archivedData(), nullptr))
        __builtin_trap(); // what was read must read back
    return 0;
}
