#pragma once

#include <memory>
#include <optional>

using GstPad = struct _GstPad;

namespace lq {

// The media time of the current file as the data reaching the writer spans it: the latest
// running time the data has reached minus the running time at which the file began, so that
// the time stands still while a device delivers nothing. Pads are watched from any thread;
// reads are lock-free.
class RecordedDuration
{
public:
    RecordedDuration();

    // Counts the buffers that pass through pad from now on.
    void watch(GstPad *pad);
    // A switch to the next file was asked for: no time until that file begins, as the data
    // still arriving belongs to the file being closed.
    void awaitNextFile();
    // A new file began at a running time in nanoseconds.
    void startFile(int64_t runningTime);
    // No file and no data.
    void reset();
    // Seconds; nothing before a file began and its data arrived, or while a switch is pending.
    std::optional<double> seconds() const;

    // The running time in nanoseconds some data reached, as the pad probe reports it.
    void reach(int64_t runningTime);

private:
    struct Span;
    std::shared_ptr<Span> m_span;
};

} // namespace lq
