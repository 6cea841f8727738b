#pragma once

#include "platform/foundation/Error.h"

#include <QString>

namespace lq::GStreamer {

// Initialises GStreamer once for the process; any thread may call it. Answers false with an
// error when GStreamer cannot start.
bool initialize(Error *error = nullptr);

// Whether an element factory is installed; when not, the error names the Debian package that
// brings it.
bool hasElement(const QString &factoryName, Error *error = nullptr);

// The Debian package that installs an element, e.g. "gstreamer1.0-plugins-good"; empty when
// the element is not one the program uses.
QString packageForElement(const QString &factoryName);

// Whether an error a pipeline reported says that the disk it writes to is full.
bool isDiskFull(const Error &error);

} // namespace lq::GStreamer
