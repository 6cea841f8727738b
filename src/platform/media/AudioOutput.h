#pragma once

#include "platform/foundation/Error.h"

using GstElement = struct _GstElement;

namespace lq::AudioOutput {

// The element that plays sound: the system's output, which falls back to a silent sink on a
// machine without a sound card, or a silent sink that keeps real time when the environment
// says LUMAQUILL_AUDIO_OUTPUT=fake (tests and benchmarks). Null with an error when the element
// is missing.
GstElement *makeSink(Error *error);

} // namespace lq::AudioOutput
