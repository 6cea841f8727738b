#pragma once

#include "platform/media/MovieBoxes.h"

#include <QList>

#include <cstdint>
#include <optional>

namespace lq::movie {

// One sample of a track: where its data lies in the file and how it plays.
struct TrackSample
{
    uint64_t offset = 0;
    uint32_t size = 0;
    uint32_t duration = 0;
    int32_t compositionOffset = 0;
    uint32_t descriptionIndex = 1;
    bool sync = true;
};

// The most samples read for one movie: far more than a day of sound and pictures, and a bound on
// what a damaged file can make us hold.
constexpr qsizetype kMostSamples = qsizetype(1) << 22;

// The samples a stbl box describes, in decoding order; none when its tables are missing, cut
// off or disagree with each other.
std::optional<QList<TrackSample>> readSampleTable(const QByteArray &moov, const Box &stbl);

// The samples of one track run in a fragment whose data starts at dataStart (the fragment's base
// plus the run's offset); none when some of the data lies outside [0, fileSize).
std::optional<QList<TrackSample>> samplesOfRun(const TrackRun &run, uint64_t dataStart,
                                               uint32_t descriptionIndex, qint64 fileSize);

} // namespace lq::movie
