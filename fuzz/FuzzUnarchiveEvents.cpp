// Feeds arbitrary bytes to the unarchiver decoding an event store: it must answer a store or an
// error, never crash, hang or allocate without bound.

#include "model/ModelArchiveClasses.h"
#include "model/WrenEvents.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"

#include <cstddef>
#include <cstdint>

namespace {

// The length of the notes text the decoding is told (a short note).
constexpr qsizetype kTextLength = 4096;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool ready = [] {
        registerModelArchiveClasses();
        lq::setLogSink([](const QString &) {});
        return true;
    }();
    (void)ready;

    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    lq::Error error;
    const auto events = lq::KeyedUnarchiver::unarchiveObject<WrenEvents>(
        bytes, registerModelArchiveClasses(), &error, WrenEvents::decodingContext(kTextLength));
    if (events) {
        // Exercise the decoded store's look-ups too.
        (void)events->count();
        (void)events->lastEventBeforeOffset(1.0, 0, WrenTimeStampTypeSlide);
        (void)events->getEventForCharacter(0);
        (void)events->eventsWithMergedSessions();
    }
    return 0;
}
