#pragma once

#include "platform/foundation/Error.h"

#include <QString>

namespace lq {

// Puts a finished file in the place of another through FileOperations, so that a failure at any
// step leaves the destination as it was.
class FileReplacement
{
public:
    // A hidden name in destination's folder that nothing uses yet.
    static QString temporaryPathNextTo(const QString &destination);

    // Moves source onto destination, replacing the file there if there is one. On failure the
    // destination holds what it held before and source is left in place.
    static bool moveOnto(const QString &source, const QString &destination, Error *error);
};

} // namespace lq
