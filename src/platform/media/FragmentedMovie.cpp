#include "platform/media/FragmentedMovie.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <cstdint>

namespace lq {
namespace {

constexpr qint64 kLargestHeaderBox = 16 * 1024 * 1024; // a movie or fragment header
constexpr uint32_t kBaseDataOffsetPresent = 0x000001;
constexpr uint32_t kSampleDescriptionPresent = 0x000002;
constexpr uint32_t kDefaultDurationPresent = 0x000008;
constexpr uint32_t kDefaultSizePresent = 0x000010;
constexpr uint32_t kDataOffsetPresent = 0x000001;
constexpr uint32_t kFirstSampleFlagsPresent = 0x000004;
constexpr uint32_t kSampleDurationPresent = 0x000100;
constexpr uint32_t kSampleSizePresent = 0x000200;
constexpr uint32_t kSampleFlagsPresent = 0x000400;
constexpr uint32_t kCompositionOffsetPresent = 0x000800;

// Big-endian reads within one buffer; a read past its end sets failed and answers 0.
class Reader
{
public:
    Reader(const QByteArray &data, qint64 begin, qint64 end) : m_data(data), m_at(begin), m_end(end)
    {}

    uint32_t u32() { return uint32_t(take(4)); }
    uint64_t u64() { return take(8); }
    void skip(qint64 bytes)
    {
        if (bytes < 0 || bytes > m_end - m_at)
            m_failed = true;
        else
            m_at += bytes;
    }
    qint64 remaining() const { return m_end - m_at; }
    bool failed() const { return m_failed; }

private:
    uint64_t take(int bytes)
    {
        if (m_failed || bytes > m_end - m_at) {
            m_failed = true;
            return 0;
        }
        uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | uint8_t(m_data[m_at + i]);
        m_at += bytes;
        return value;
    }

    const QByteArray &m_data;
    qint64 m_at;
    qint64 m_end;
    bool m_failed = false;
};

struct Box
{
    QByteArray type;
    qint64 content = 0; // after the header
    qint64 end = 0;
};

// The boxes inside [begin, end) of data; stops at the first malformed one.
QList<Box> childBoxes(const QByteArray &data, qint64 begin, qint64 end)
{
    QList<Box> boxes;
    qint64 at = begin;
    while (end - at >= 8) {
        Reader reader(data, at, end);
        uint64_t size = reader.u32();
        Box box{data.mid(at + 4, 4), at + 8, 0};
        reader.skip(4);
        if (size == 1) {
            size = reader.u64();
            box.content += 8;
        } else if (size == 0) {
            size = uint64_t(end - at);
        }
        if (reader.failed() || size < uint64_t(box.content - at) || size > uint64_t(end - at))
            break;
        box.end = at + qint64(size);
        boxes.append(box);
        at = box.end;
    }
    return boxes;
}

std::optional<Box> find(const QList<Box> &boxes, const char *type)
{
    const auto found = std::find_if(boxes.begin(), boxes.end(),
                                    [type](const Box &box) { return box.type == type; });
    return found == boxes.end() ? std::nullopt : std::optional<Box>(*found);
}

struct Track
{
    uint32_t timescale = 0;
    uint32_t defaultDuration = 0;
    uint64_t end = 0; // in the track's timescale
};

// The tracks of a movie header, by id, with their lengths there; empty unless it announces
// fragments.
QHash<uint32_t, Track> tracksOfFragmentedMovie(const QByteArray &moov)
{
    QHash<uint32_t, Track> tracks;
    const QList<Box> children = childBoxes(moov, 0, moov.size());
    const std::optional<Box> mvex = find(children, "mvex");
    if (!mvex)
        return tracks;
    for (const Box &trak : children) {
        if (trak.type != "trak")
            continue;
        const QList<Box> parts = childBoxes(moov, trak.content, trak.end);
        const std::optional<Box> tkhd = find(parts, "tkhd");
        const std::optional<Box> mdia = find(parts, "mdia");
        const std::optional<Box> mdhd =
            mdia ? find(childBoxes(moov, mdia->content, mdia->end), "mdhd") : std::nullopt;
        if (!tkhd || !mdhd)
            continue;
        Reader header(moov, tkhd->content, tkhd->end);
        const uint32_t version = header.u32() >> 24;
        header.skip(version == 1 ? 16 : 8);
        const uint32_t id = header.u32();
        Reader media(moov, mdhd->content, mdhd->end);
        Track track;
        if (media.u32() >> 24 == 1) {
            media.skip(16);
            track.timescale = media.u32();
            track.end = media.u64();
        } else {
            media.skip(8);
            track.timescale = media.u32();
            track.end = media.u32();
        }
        if (!header.failed() && !media.failed() && track.timescale > 0)
            tracks.insert(id, track);
    }
    for (const Box &trex : childBoxes(moov, mvex->content, mvex->end)) {
        if (trex.type != "trex")
            continue;
        Reader reader(moov, trex.content, trex.end);
        reader.skip(4);
        const uint32_t id = reader.u32();
        reader.skip(4);
        const uint32_t duration = reader.u32();
        if (!reader.failed() && tracks.contains(id))
            tracks[id].defaultDuration = duration;
    }
    return tracks;
}

struct RunTotals
{
    uint64_t duration = 0; // in the track's timescale
    uint64_t bytes = 0;
    qint64 offset = 0; // of the run's data from the fragment's base
};

uint64_t saturatingAdd(uint64_t a, uint64_t b)
{
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// The samples of one track run; none when the run is cut off.
std::optional<RunTotals> readRun(Reader &run, uint32_t defaultDuration, uint32_t defaultSize)
{
    const uint32_t flags = run.u32() & 0xffffff;
    const uint32_t count = run.u32();
    RunTotals totals;
    totals.offset = flags & kDataOffsetPresent ? int32_t(run.u32()) : 0;
    run.skip(flags & kFirstSampleFlagsPresent ? 4 : 0);
    const int perSample =
        4 * (bool(flags & kSampleDurationPresent) + bool(flags & kSampleSizePresent) +
             bool(flags & kSampleFlagsPresent) + bool(flags & kCompositionOffsetPresent));
    if (run.failed())
        return std::nullopt;
    if (perSample == 0) { // every sample takes the defaults
        totals.duration = uint64_t(count) * defaultDuration;
        totals.bytes = uint64_t(count) * defaultSize;
        return totals;
    }
    if (count > run.remaining() / perSample)
        return std::nullopt;
    for (uint32_t i = 0; i < count; ++i) {
        totals.duration += flags & kSampleDurationPresent ? run.u32() : defaultDuration;
        totals.bytes += flags & kSampleSizePresent ? run.u32() : defaultSize;
        run.skip(flags & kSampleFlagsPresent ? 4 : 0);
        run.skip(flags & kCompositionOffsetPresent ? 4 : 0);
    }
    return totals;
}

// Whether a run's data lies wholly in the file.
bool dataWithin(uint64_t base, const RunTotals &totals, qint64 fileSize)
{
    if (base > uint64_t(fileSize) || totals.bytes > uint64_t(fileSize))
        return false;
    const qint64 end = qint64(base) + totals.offset + qint64(totals.bytes);
    return end >= 0 && end <= fileSize;
}

// Moves each track's end past one fragment, when all of the fragment's samples are in the file.
void addFragment(const QByteArray &moof, qint64 moofStart, qint64 fileSize,
                 QHash<uint32_t, Track> &tracks)
{
    for (const Box &traf : childBoxes(moof, 0, moof.size())) {
        if (traf.type != "traf")
            continue;
        const QList<Box> parts = childBoxes(moof, traf.content, traf.end);
        const std::optional<Box> tfhd = find(parts, "tfhd");
        if (!tfhd)
            continue;
        Reader header(moof, tfhd->content, tfhd->end);
        const uint32_t flags = header.u32() & 0xffffff;
        const uint32_t id = header.u32();
        const auto track = tracks.find(id);
        if (header.failed() || track == tracks.end())
            continue;
        const uint64_t base = flags & kBaseDataOffsetPresent ? header.u64() : uint64_t(moofStart);
        header.skip(flags & kSampleDescriptionPresent ? 4 : 0);
        const uint32_t defaultDuration =
            flags & kDefaultDurationPresent ? header.u32() : track->defaultDuration;
        const uint32_t defaultSize = flags & kDefaultSizePresent ? header.u32() : 0;
        if (header.failed())
            continue;

        uint64_t start = track->end;
        if (const std::optional<Box> tfdt = find(parts, "tfdt")) {
            Reader decodeTime(moof, tfdt->content, tfdt->end);
            const bool wide = decodeTime.u32() >> 24 == 1;
            const uint64_t time = wide ? decodeTime.u64() : decodeTime.u32();
            if (!decodeTime.failed())
                start = time;
        }
        uint64_t duration = 0;
        bool complete = true;
        for (const Box &trun : parts) {
            if (trun.type != "trun")
                continue;
            Reader run(moof, trun.content, trun.end);
            const std::optional<RunTotals> totals = readRun(run, defaultDuration, defaultSize);
            if (!totals || !dataWithin(base, *totals, fileSize)) {
                complete = false;
                break;
            }
            duration = saturatingAdd(duration, totals->duration);
        }
        if (complete)
            track->end = std::max(track->end, saturatingAdd(start, duration));
    }
}

std::optional<QByteArray> readBox(QIODevice &file, qint64 begin, qint64 end)
{
    if (end - begin > kLargestHeaderBox || !file.seek(begin))
        return std::nullopt;
    QByteArray data = file.read(end - begin);
    if (data.size() != end - begin)
        return std::nullopt;
    return data;
}

} // namespace

std::optional<double> FragmentedMovie::playableDuration(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return playableDuration(file);
}

std::optional<double> FragmentedMovie::playableDuration(QIODevice &file)
{
    const qint64 fileSize = file.size();
    QHash<uint32_t, Track> tracks;
    bool fragmented = false;
    qint64 at = 0;
    while (fileSize - at >= 8) {
        if (!file.seek(at))
            return std::nullopt;
        const QByteArray header = file.read(16);
        Reader reader(header, 0, header.size());
        uint64_t size = reader.u32();
        const QByteArray type = header.mid(4, 4);
        qint64 content = 8;
        if (size == 1) {
            reader.skip(4);
            size = reader.u64();
            content = 16;
        } else if (size == 0) {
            size = uint64_t(fileSize - at);
        }
        if (reader.failed() || size < uint64_t(content) || size > uint64_t(fileSize - at))
            break; // a cut-off box ends what can be read
        const qint64 end = at + qint64(size);
        if (type == "moov") {
            const std::optional<QByteArray> moov = readBox(file, at + content, end);
            if (!moov)
                return std::nullopt;
            tracks = tracksOfFragmentedMovie(*moov);
            if (tracks.isEmpty())
                return std::nullopt;
        } else if (type == "moof" && !tracks.isEmpty()) {
            const std::optional<QByteArray> moof = readBox(file, at + content, end);
            if (!moof)
                break;
            addFragment(*moof, at, fileSize, tracks);
            fragmented = true;
        }
        at = end;
    }
    if (!fragmented)
        return std::nullopt;
    double seconds = 0.0;
    for (const Track &track : std::as_const(tracks))
        seconds = std::max(seconds, double(track.end) / track.timescale);
    return seconds;
}

} // namespace lq
