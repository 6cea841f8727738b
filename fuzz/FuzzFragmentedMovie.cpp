// Feeds arbitrary bytes to the fragmented-movie reader: it must answer a length or nothing, never
// crash, hang or read out of bounds.

#include "platform/media/FragmentedMovie.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QBuffer movie(&bytes);
    movie.open(QIODevice::ReadOnly);
    (void)lq::FragmentedMovie::playableDuration(movie);
    return 0;
}
