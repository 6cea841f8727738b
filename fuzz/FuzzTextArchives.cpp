// Feeds arbitrary bytes to the readers of a note's text: the archive of the whole text ("text")
// and the portable text archive ("bmtext"), read back and used to name the images of the text.
// Each must answer a text or an error, never crash, hang or allocate without bound.

#include "document/BMAttributedString.h"
#include "platform/foundation/Log.h"
#include "platform/text/TextArchive.h"

#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // An empty package folder: image names are resolved but find no files.
    static const QTemporaryDir package;
    static const bool ready = [] {
        lq::setLogSink([](const QString &) {});
        return true;
    }();
    (void)ready;

    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    std::optional<lq::AttributedString> text = lq::unarchivedText(bytes);
    const auto portable = BMAttributedString::unarchived(bytes);
    if (portable) {
        lq::AttributedString read = portable->macAttributedStringWithImageDir(package.path());
        portable->fixUpMacAttributedStringFrom(text ? *text : read, package.path());
        (void)BMAttributedString::BMAttributedStringWithMacAttributedString(
            read, package.path(), portable->imageNumber());
    }
    return 0;
}
