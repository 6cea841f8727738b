#pragma once

#include <QByteArray>
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

    struct Lengths
    {
        double header = 0.0;    // what the movie header tells, in seconds
        double fragments = 0.0; // the end of the last complete fragment
    };
    // Both lengths of a fragmented movie; none for other files.
    static std::optional<Lengths> lengths(const QString &path);
    static std::optional<Lengths> lengths(QIODevice &movie);

    // Given a whole moov box that announces fragments, turns each track's edit list into free
    // space: written before the fragments, the edits end with the first one, and players that
    // honour them stop there when the file was never finalised. False when nothing was changed.
    static bool dropEditsOfFragmentedHeader(QByteArray &moov);
};

} // namespace lq
