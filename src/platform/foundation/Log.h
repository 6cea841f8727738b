#pragma once

#include <QString>

#include <functional>

namespace lq {

// Writes one diagnostic line to standard error and the system log.
void log(const QString &text);

// Replaces where log lines go (tests capture them); an empty sink restores the default.
// Answers the sink that was installed before.
using LogSink = std::function<void(const QString &text)>;
LogSink setLogSink(LogSink sink);

} // namespace lq
