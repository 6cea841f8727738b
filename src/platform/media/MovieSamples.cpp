#include "platform/media/MovieSamples.h"

namespace lq::movie {
namespace {

// The entries of a full box table: its version and flags, its count, then count entries of
// entrySize bytes. The reader stands at the first entry; none when they do not fit in the box.
std::optional<std::pair<Reader, uint32_t>> table(const QByteArray &data, const Box &box,
                                                 int entrySize)
{
    Reader reader(data, box.content, box.end);
    reader.skip(4);
    const uint32_t count = reader.u32();
    if (reader.failed() || count > reader.remaining() / entrySize)
        return std::nullopt;
    return std::pair<Reader, uint32_t>(reader, count);
}

// The sizes of stsz: one for each sample.
std::optional<QList<TrackSample>> sampleSizes(const QByteArray &moov, const Box &stsz)
{
    Reader reader(moov, stsz.content, stsz.end);
    reader.skip(4);
    const uint32_t uniform = reader.u32();
    const uint32_t count = reader.u32();
    if (reader.failed() || count > kMostSamples || (uniform == 0 && count > reader.remaining() / 4))
        return std::nullopt;
    QList<TrackSample> samples(count);
    for (TrackSample &sample : samples)
        sample.size = uniform != 0 ? uniform : reader.u32();
    return samples;
}

// Run-length tables (stts, ctts): count samples each get value; they must cover every sample.
template <class Apply>
bool readRuns(const QByteArray &moov, const Box &box, QList<TrackSample> &samples, Apply apply)
{
    auto entries = table(moov, box, 8);
    if (!entries)
        return false;
    auto &[reader, count] = *entries;
    qsizetype next = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t run = reader.u32();
        const uint32_t value = reader.u32();
        if (run > samples.size() - next)
            return false;
        for (uint32_t j = 0; j < run; ++j)
            apply(samples[next++], value);
    }
    return next == samples.size();
}

// stsc and stco/co64: where each sample's data lies and which description it uses.
bool readChunks(const QByteArray &moov, const Box &stsc, const Box &offsets, bool wide,
                QList<TrackSample> &samples)
{
    auto chunks = table(moov, offsets, wide ? 8 : 4);
    auto entries = table(moov, stsc, 12);
    if (!chunks || !entries)
        return false;
    auto &[chunkReader, chunkCount] = *chunks;
    auto &[entryReader, entryCount] = *entries;
    struct Entry
    {
        uint32_t firstChunk, samplesPerChunk, descriptionIndex;
    };
    QList<Entry> runs;
    for (uint32_t i = 0; i < entryCount; ++i)
        runs.append({entryReader.u32(), entryReader.u32(), entryReader.u32()});
    qsizetype next = 0;
    qsizetype run = 0;
    for (uint32_t chunk = 1; chunk <= chunkCount; ++chunk) {
        while (run + 1 < runs.size() && runs[run + 1].firstChunk <= chunk)
            ++run;
        if (runs.isEmpty() || runs[run].firstChunk > chunk)
            return false;
        uint64_t offset = wide ? chunkReader.u64() : chunkReader.u32();
        const uint32_t count = runs[run].samplesPerChunk;
        if (count > samples.size() - next)
            return false;
        for (uint32_t i = 0; i < count; ++i) {
            TrackSample &sample = samples[next++];
            sample.offset = offset;
            sample.descriptionIndex = runs[run].descriptionIndex;
            offset += sample.size;
        }
    }
    return next == samples.size();
}

} // namespace

std::optional<QList<TrackSample>> readSampleTable(const QByteArray &moov, const Box &stbl)
{
    const QList<Box> tables = childBoxes(moov, stbl);
    const std::optional<Box> stsz = find(tables, "stsz");
    const std::optional<Box> stts = find(tables, "stts");
    const std::optional<Box> stsc = find(tables, "stsc");
    const std::optional<Box> stco = find(tables, "stco");
    const std::optional<Box> co64 = find(tables, "co64");
    if (!stsz || !stts || !stsc || (!stco && !co64))
        return std::nullopt;
    std::optional<QList<TrackSample>> samples = sampleSizes(moov, *stsz);
    if (!samples ||
        !readRuns(moov, *stts, *samples,
                  [](TrackSample &sample, uint32_t value) { sample.duration = value; }) ||
        !readChunks(moov, *stsc, stco ? *stco : *co64, !stco, *samples))
        return std::nullopt;
    if (const std::optional<Box> ctts = find(tables, "ctts")) {
        if (!readRuns(moov, *ctts, *samples, [](TrackSample &sample, uint32_t value) {
                sample.compositionOffset = int32_t(value);
            }))
            return std::nullopt;
    }
    if (const std::optional<Box> stss = find(tables, "stss")) {
        auto entries = table(moov, *stss, 4);
        if (!entries)
            return std::nullopt;
        for (TrackSample &sample : *samples)
            sample.sync = false;
        auto &[reader, count] = *entries;
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t number = reader.u32();
            if (number == 0 || number > samples->size())
                return std::nullopt;
            (*samples)[number - 1].sync = true;
        }
    }
    return samples;
}

std::optional<QList<TrackSample>> samplesOfRun(const TrackRun &run, uint64_t dataStart,
                                               uint32_t descriptionIndex, qint64 fileSize)
{
    QList<TrackSample> samples;
    samples.reserve(run.samples.size());
    uint64_t offset = dataStart;
    for (const Sample &sample : run.samples) {
        if (offset > uint64_t(fileSize) || sample.size > uint64_t(fileSize) - offset)
            return std::nullopt;
        samples.append({offset, sample.size, sample.duration, sample.compositionOffset,
                        descriptionIndex, !(sample.flags & kNonSyncSample)});
        offset += sample.size;
    }
    return samples;
}

} // namespace lq::movie
