#pragma once

#include "platform/foundation/Error.h"

#include <QString>

#include <chrono>

using GstElement = struct _GstElement;

namespace lq {

// Plays a pipeline that ends by itself (a file writer, for example) to its end on the calling
// thread, polling its bus; no main loop needed.
class PipelineRunner
{
public:
    // Builds the pipeline from a gst-launch style description and runs it.
    static bool run(const QString &description, std::chrono::milliseconds timeLimit, Error *error);
    // Runs a pipeline to its end of stream and leaves it stopped; error sentences begin with
    // failurePrefix, e.g. "Could not write “x.mov”".
    static bool run(GstElement *pipeline, std::chrono::milliseconds timeLimit,
                    const QString &failurePrefix, Error *error);
};

} // namespace lq
