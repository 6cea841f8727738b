#pragma once

// Pieces shared by the writers of movie files (the flattener and the trimmer): the AAC and H.264
// encoder branches, linking a stream through a branch into the muxer, and running the pipeline
// into a temporary file that takes the destination's place only once it is complete.

#include "platform/foundation/Error.h"

#include <QString>

#include <array>
#include <chrono>
#include <initializer_list>
#include <mutex>

using GstCaps = struct _GstCaps;
using GstElement = struct _GstElement;
using GstPad = struct _GstPad;

namespace lq::movie_encoding {

enum class StreamKind { Audio, Video };

extern const QString kErrorDomain;

inline constexpr std::array kKinds{StreamKind::Audio, StreamKind::Video};

constexpr size_t indexOf(StreamKind kind)
{
    return kind == StreamKind::Audio ? 0 : 1;
}

// A new pad's caps, current or else as queried; the caller unrefs them.
GstCaps *padCaps(GstPad *pad);
// The kind of a stream by its caps (pictures count as video); none for other streams.
bool streamKindOf(const GstCaps *caps, StreamKind *kind);
// The muxer's request pad template for a kind: "audio_%u" or "video_%u".
const char *muxPadTemplate(StreamKind kind);

// Unbounded queues before the muxer: an encoder holding back frames must not stall the other
// streams of the same source.
QString queueDescription();
// Raw sound to AAC, raw pictures to H.264 (I420), followed by the muxer's queue.
QString encoderDescription(StreamKind kind);
// Whether the encoder of a kind is installed; the error names the package that brings it.
bool hasEncoder(StreamKind kind, Error *error);
bool hasElements(std::initializer_list<const char *> factories, Error *error);

// A bin from a gst-launch style chain whose first element's sink and last element's source are
// its own pads. A first element whose source pads appear later (a decoder) must be named "in".
GstElement *makeBranch(const QString &description, Error *error);
// Adds branch to pipeline and links pad -> branch -> a new request pad of mux; starts the branch
// when linked.
bool linkThroughBranch(GstElement *pipeline, GstElement *mux, StreamKind kind, GstPad *pad,
                       GstElement *branch, Error *error);

// A new element of the factory in pipeline, with its "location" set when one is given.
GstElement *addElement(GstElement *pipeline, const char *factory, const QString &location = {});
// Ends the pipeline's run with an error carrying message (any thread).
void postFailure(GstElement *pipeline, const QString &message);

// One file of several joined into a stream of each kind: the joiners' request pads it feeds.
struct JoinedSource
{
    GstElement *pipeline = nullptr;
    std::array<GstPad *, 2> joinerPads{}; // owned request pads, null where the kind is not kept
    std::array<bool, 2> linked{};
    std::mutex *mutex = nullptr;
};

// Links a new pad of a source's file to the joiner of its kind, the first stream of each kind
// only: further streams and other kinds stay out (their demuxer goes on while one is taken).
void linkToJoiner(GstPad *pad, JoinedSource &source);

// A streaming thread's turn with the writer's shared state, between the start of the run and its
// end, which order it (ThreadSanitizer cannot see that they do).
class StreamingTurn
{
public:
    StreamingTurn();
    ~StreamingTurn();
    StreamingTurn(const StreamingTurn &) = delete;
    StreamingTurn &operator=(const StreamingTurn &) = delete;
};

// Runs pipeline, which writes temporaryPath, to its end and then moves temporaryPath over
// destination; any failure removes temporaryPath and leaves destination as it was. Takes over
// the pipeline. Error sentences begin "Could not write “<destination's name>”".
bool writeAndPublish(GstElement *pipeline, const QString &temporaryPath, const QString &destination,
                     std::chrono::milliseconds timeLimit, Error *error);

} // namespace lq::movie_encoding
