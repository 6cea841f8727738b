// Feeds arbitrary bytes to the fragmented-movie repair: it must answer an outcome, never crash,
// hang or read out of bounds.

#include "platform/media/FragmentedMovieRepair.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QBuffer movie(&bytes);
    movie.open(QIODevice::ReadOnly);
    QByteArray repaired;
    QBuffer output(&repaired);
    output.open(QIODevice::WriteOnly);
    lq::Error error;
    (void)lq::FragmentedMovieRepair::repair(movie, output, QStringLiteral("fuzz.mov"), &error);
    return 0;
}
