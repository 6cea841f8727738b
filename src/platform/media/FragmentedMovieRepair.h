#pragma once

#include "platform/foundation/Error.h"

#include <QString>

class QIODevice;

namespace lq {

// Rewrites a fragmented movie, such as a recording cut off by a crash or a full disk, as an
// ordinary movie holding every complete fragment, so that every program reads its whole length.
// The sample data is copied as it stands; a new movie header describes all of it.
class FragmentedMovieRepair
{
public:
    enum class Outcome {
        Repaired,
        NotNeeded, // an ordinary movie already
        Failed,
    };

    // Repairs the file at path in place: the new movie is written beside it and replaces it only
    // once it is complete and on disk. Anything else than a movie fails with a clear error and
    // leaves the file as it was.
    static Outcome repair(const QString &path, Error *error);

    // Reads movie (seekable) and writes the repaired movie into output from where it stands;
    // name is the file's name for errors. Nothing is written unless the outcome is Repaired.
    static Outcome repair(QIODevice &movie, QIODevice &output, const QString &name, Error *error);
};

} // namespace lq
