#include "platform/media/MovieIndex.h"

#include <QHash>
#include <QIODevice>

#include <algorithm>

namespace lq::movie {
namespace {

constexpr qint64 kLargestHeaderBox = 16 * 1024 * 1024; // a movie or fragment header
constexpr qint64 kLargestTypeBox = 4096;
constexpr uint32_t kSelfContained = 0x1; // data reference flag

std::optional<QByteArray> readSpan(QIODevice &file, qint64 begin, qint64 end, qint64 largest)
{
    if (end - begin > largest || !file.seek(begin))
        return std::nullopt;
    QByteArray data = file.read(end - begin);
    if (data.size() != end - begin)
        return std::nullopt;
    return data;
}

uint32_t fieldU32(const QByteArray &data, qint64 at)
{
    return Reader(data, at, data.size()).u32();
}

// The entries of an elst box; none when it is cut off.
std::optional<QList<Edit>> readEdits(const QByteArray &moov, const Box &elst)
{
    Reader reader(moov, elst.content, elst.end);
    const bool wide = reader.u32() >> 24 == 1;
    const uint32_t count = reader.u32();
    if (reader.failed() || count > reader.remaining() / (wide ? 20 : 12))
        return std::nullopt;
    QList<Edit> edits;
    for (uint32_t i = 0; i < count; ++i) {
        Edit edit;
        edit.duration = wide ? reader.u64() : reader.u32();
        edit.mediaTime = wide ? int64_t(reader.u64()) : int32_t(reader.u32());
        edit.rate = int32_t(reader.u32());
        edits.append(edit);
    }
    return edits;
}

// Whether every data reference of a track's media names the movie's own file.
bool isSelfContained(const QByteArray &moov, const Box &trak)
{
    const std::optional<Box> dref = findPath(moov, trak, {"mdia", "minf", "dinf", "dref"});
    if (!dref)
        return true;
    const QList<Box> entries = childBoxes(moov, dref->content + 8, dref->end);
    return std::all_of(entries.begin(), entries.end(), [&](const Box &entry) {
        return fieldU32(moov, entry.content) & kSelfContained;
    });
}

// The tracks of the movie header with the samples it describes; none when one is damaged.
std::optional<QList<MovieTrack>> readHeaderTracks(const QByteArray &moov,
                                                  const QList<Box> &children, bool withEdits)
{
    QList<MovieTrack> tracks;
    for (const Box &trak : children) {
        if (trak.type != "trak")
            continue;
        const std::optional<Box> tkhd = find(childBoxes(moov, trak), "tkhd");
        const std::optional<Box> mdhd = findPath(moov, trak, {"mdia", "mdhd"});
        const std::optional<Box> hdlr = findPath(moov, trak, {"mdia", "hdlr"});
        const std::optional<Box> stbl = findPath(moov, trak, {"mdia", "minf", "stbl"});
        const std::optional<Box> stsd = stbl ? find(childBoxes(moov, *stbl), "stsd") : std::nullopt;
        if (!tkhd || !mdhd || !stbl || !stsd)
            return std::nullopt;
        MovieTrack track;
        track.trak = trak;
        track.stsd = *stsd;
        track.id = fieldU32(moov, tkhd->content + (isWide(moov, *tkhd) ? 20 : 12));
        track.timescale = fieldU32(moov, mdhd->content + (isWide(moov, *mdhd) ? 20 : 12));
        if (hdlr && hdlr->end - hdlr->content >= 12)
            track.handler = moov.mid(hdlr->content + 8, 4);
        if (const std::optional<Box> elst = findPath(moov, trak, {"edts", "elst"});
            elst && withEdits) {
            std::optional<QList<Edit>> edits = readEdits(moov, *elst);
            if (!edits)
                return std::nullopt;
            track.edits = std::move(*edits);
        }
        track.selfContained = isSelfContained(moov, trak);
        std::optional<QList<TrackSample>> samples = readSampleTable(moov, *stbl);
        // A track without samples may leave its timescale unset.
        if (!samples || (track.timescale == 0 && !samples->isEmpty()))
            return std::nullopt;
        track.samples = std::move(*samples);
        for (const TrackSample &sample : std::as_const(track.samples))
            track.decodeEnd += sample.duration;
        tracks.append(track);
    }
    if (tracks.isEmpty())
        return std::nullopt;
    return tracks;
}

// The samples one fragment adds to each track; none when any of them is not wholly in the file.
std::optional<QHash<uint32_t, QList<TrackSample>>> readFragment(const QByteArray &moof,
                                                                qint64 moofBegin, qint64 fileSize,
                                                                const QList<MovieTrack> &tracks,
                                                                QHash<uint32_t, uint64_t> &starts)
{
    QHash<uint32_t, QList<TrackSample>> added;
    const QList<Box> top = childBoxes(moof, 0, moof.size());
    if (top.size() != 1)
        return std::nullopt;
    for (const Box &traf : childBoxes(moof, top.first())) {
        if (traf.type != "traf")
            continue;
        const QList<Box> parts = childBoxes(moof, traf);
        const std::optional<Box> tfhd = find(parts, "tfhd");
        if (!tfhd)
            return std::nullopt;
        const uint32_t id = fieldU32(moof, tfhd->content + 4);
        const auto track = std::find_if(tracks.begin(), tracks.end(),
                                        [id](const MovieTrack &track) { return track.id == id; });
        if (track == tracks.end())
            continue;
        const std::optional<TrackFragment> fragment =
            readTrackFragmentHeader(moof, *tfhd, track->defaults);
        if (!fragment)
            return std::nullopt;
        if (const std::optional<Box> tfdt = find(parts, "tfdt")) {
            if (const std::optional<uint64_t> start = readDecodeTime(moof, *tfdt))
                starts.insert(id, *start);
        }
        const uint64_t base = fragment->baseOffset.value_or(uint64_t(moofBegin));
        uint64_t data = base;
        QList<TrackSample> &samples = added[id];
        for (const Box &trun : parts) {
            if (trun.type != "trun")
                continue;
            const std::optional<TrackRun> run = readTrackRun(moof, trun, fragment->defaults);
            if (!run)
                return std::nullopt;
            if (run->dataOffset)
                data = base + uint64_t(int64_t(*run->dataOffset));
            const std::optional<QList<TrackSample>> runSamples =
                samplesOfRun(*run, data, fragment->descriptionIndex, fileSize);
            if (!runSamples)
                return std::nullopt;
            for (const TrackSample &sample : *runSamples)
                data += sample.size;
            samples.append(*runSamples);
        }
    }
    return added;
}

// Adds a fragment's samples to its track; a later start than the track's end widens the gap
// with the last sample, so sound and pictures stay together.
void append(MovieTrack &track, const QList<TrackSample> &samples, std::optional<uint64_t> start)
{
    if (start && *start > track.decodeEnd && !track.samples.isEmpty()) {
        uint32_t &last = track.samples.last().duration;
        const uint64_t gap = std::min<uint64_t>(*start - track.decodeEnd, UINT32_MAX - last);
        last += uint32_t(gap);
        track.decodeEnd += gap;
    }
    for (const TrackSample &sample : samples)
        track.decodeEnd += sample.duration;
    track.samples.append(samples);
}

} // namespace

std::optional<Box> MovieLayout::header() const
{
    const QList<Box> top = childBoxes(moov, 0, moov.size());
    if (top.isEmpty() || top.first().type != "moov")
        return std::nullopt;
    return top.first();
}

bool MovieLayout::announcesFragments() const
{
    const std::optional<Box> top = header();
    return top && find(childBoxes(moov, *top), "mvex");
}

MovieLayout readMovieLayout(QIODevice &file)
{
    MovieLayout layout;
    qint64 at = 0;
    while (const std::optional<Box> box = readTopLevelBox(file, at)) {
        if (box->type == "ftyp" && layout.ftyp.isEmpty())
            layout.ftyp = readSpan(file, at, box->end, kLargestTypeBox).value_or(QByteArray());
        else if (box->type == "moov" && layout.moov.isEmpty())
            layout.moov = readSpan(file, at, box->end, kLargestHeaderBox).value_or(QByteArray());
        else if (box->type == "moof")
            layout.fragments.append({at, box->end});
        at = box->end;
    }
    return layout;
}

std::optional<QList<MovieTrack>> readMovieTracks(QIODevice &file, const MovieLayout &layout)
{
    const std::optional<Box> top = layout.header();
    if (!top)
        return std::nullopt;
    const QList<Box> children = childBoxes(layout.moov, *top);
    const std::optional<Box> mvex = find(children, "mvex");
    std::optional<QList<MovieTrack>> tracks = readHeaderTracks(layout.moov, children, !mvex);
    if (!tracks || !mvex)
        return tracks;
    for (const auto &[id, defaults] : trackDefaults(layout.moov, *mvex)) {
        for (MovieTrack &track : *tracks) {
            if (track.id == id)
                track.defaults = defaults;
        }
    }
    qsizetype sampleCount = 0;
    for (const MovieTrack &track : std::as_const(*tracks))
        sampleCount += track.samples.size();
    const qint64 fileSize = file.size();
    for (const MovieLayout::Span &span : layout.fragments) {
        const std::optional<QByteArray> moof =
            readSpan(file, span.begin, span.end, kLargestHeaderBox);
        QHash<uint32_t, uint64_t> starts;
        const auto added =
            moof ? readFragment(*moof, span.begin, fileSize, *tracks, starts) : std::nullopt;
        if (!added)
            break;
        for (MovieTrack &track : *tracks) {
            const QList<TrackSample> samples = added->value(track.id);
            sampleCount += samples.size();
            if (sampleCount > kMostSamples)
                return std::nullopt;
            append(track, samples,
                   starts.contains(track.id) ? std::optional<uint64_t>(starts.value(track.id))
                                             : std::nullopt);
        }
    }
    return tracks;
}

std::optional<MovieTime> readMovieTime(const QByteArray &moov, const Box &header)
{
    const std::optional<Box> mvhd = find(childBoxes(moov, header), "mvhd");
    if (!mvhd)
        return std::nullopt;
    Reader reader(moov, mvhd->content, mvhd->end);
    const bool wide = reader.u32() >> 24 == 1;
    reader.skip(wide ? 16 : 8);
    MovieTime time;
    time.timescale = reader.u32();
    time.duration = wide ? reader.u64() : reader.u32();
    if (reader.failed() || time.timescale == 0)
        return std::nullopt;
    return time;
}

bool isWide(const QByteArray &data, const Box &box)
{
    return Reader(data, box.content, box.end).u8() == 1;
}

} // namespace lq::movie
