#pragma once

// Helpers shared by the files that implement WrenRecording.

#include <functional>

namespace wren_recording {

// The engines of today's media stack run (rather than the legacy ones).
bool modernEnginesRun();

// Waits, processing events, while the engine reports work under way.
void waitWhile(const std::function<bool()> &busy);

} // namespace wren_recording
