#pragma once

#include "platform/foundation/Error.h"

#include <QString>

// Writes a folder, under its own name, into a new zip archive without compression (libzip). A
// symbolic link is stored as the file it points to. On failure nothing is left at archivePath.
// Errors are of the "exporting" domain: 4929 when the archive cannot be made, 4930 when an item
// cannot be written.
bool zipFolder(const QString &folder, const QString &archivePath, lq::Error *error);
