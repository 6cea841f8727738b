#pragma once

#include "platform/foundation/Error.h"

#include <QString>

// Whether a program of one version may open a note that needs another.
namespace VersionGate {

// Components are compared as numbers (their leading digits: "1b2" counts 1), pairwise over the
// shorter list; the first pair that differs decides, and equal pairs accept.
bool accepts(const QString &minimumVersion, const QString &applicationVersion);

// The error of a refused open.
lq::Error refusal(const QString &minimumVersion, const QString &applicationVersion);

} // namespace VersionGate
