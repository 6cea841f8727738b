#pragma once

// Helpers shared by the files that implement WrenRecording.

#include "platform/foundation/Error.h"

#include <QString>

#include <chrono>
#include <functional>

namespace wren_recording {

// How long writing one movie file (an import's, the call recorder's) may take.
constexpr std::chrono::minutes kMovieWriteLimit{30};

// The engines of today's media stack run (rather than the legacy ones).
bool modernEnginesRun();

// Waits, processing events, while the engine reports work under way.
void waitWhile(const std::function<bool()> &busy);

// Copies source over destination in one step: a file linked to destination keeps its bytes, and
// a failed copy leaves destination as it was.
bool copyReplacing(const QString &source, const QString &destination, lq::Error *error);

} // namespace wren_recording
