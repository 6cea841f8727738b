#pragma once

#include <QString>

class QIODevice;

#include <optional>

namespace lq {

// Reads how much a fragmented movie holds. A recording cut off by a crash is such a movie
// whose header still tells only the length of its first fragment; every complete fragment after
// it plays all the same.
class FragmentedMovie
{
public:
    // The end of the last complete fragment in seconds; none when path is not a fragmented movie
    // or cannot be read. Reads only box headers and fragment headers.
    static std::optional<double> playableDuration(const QString &path);
    // The same for a movie read from an open, seekable device.
    static std::optional<double> playableDuration(QIODevice &movie);
};

} // namespace lq
