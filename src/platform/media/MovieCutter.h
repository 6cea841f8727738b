#pragma once

#include "platform/foundation/Error.h"

#include <QString>
#include <QStringList>

class QIODevice;

namespace lq {

// Writes the beginning of a recording's movie files as one movie without decoding anything: the
// samples before the cut are copied as they stand (a picture that crosses it included) and each
// track's edit list ends exactly at the cut, so the movie plays to the sample. The files play end
// to end, each from where the ones before it end, as the player places them; a gap a track leaves
// at the end of a file lengthens its last sample. Reads sample tables only, so it takes about the
// time of copying the kept data.
class MovieCutter
{
public:
    enum class Outcome {
        Written,
        // Nothing written: a file this reaches is no movie whose samples can be copied (another
        // format, a damaged or external index, an edit list other than a start and a length), or
        // its streams differ from the first file's beyond the bit rates a muxer notes.
        NotJoinable,
        Failed,
    };

    // What was written.
    struct Movie
    {
        double length = 0.0; // seconds
        bool hasSound = false;
        bool hasVideo = false; // tracks holding samples
    };

    // Writes the first `seconds` (0 or more) of sources into output from where it stands; name is
    // the movie's name for errors. The first file's header and stream descriptions are kept.
    // Files past the cut are not read.
    static Outcome write(const QStringList &sources, double seconds, QIODevice &output,
                         const QString &name, Movie *result, Error *error);
};

} // namespace lq
