#include "platform/media/MovieBoxes.h"

#include <algorithm>

namespace lq::movie {

void Reader::skip(qint64 bytes)
{
    if (m_failed || bytes < 0 || bytes > m_end - m_at)
        m_failed = true;
    else
        m_at += bytes;
}

uint64_t Reader::take(int bytes)
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

QList<Box> childBoxes(const QByteArray &data, qint64 begin, qint64 end)
{
    QList<Box> boxes;
    qint64 at = begin;
    end = std::min(end, qint64(data.size()));
    while (end - at >= 8) {
        Reader reader(data, at, end);
        uint64_t size = reader.u32();
        Box box{data.mid(at + 4, 4), at, at + 8, 0};
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

std::optional<Box> readTopLevelBox(QIODevice &file, qint64 at)
{
    const qint64 fileSize = file.size();
    if (fileSize - at < 8 || !file.seek(at))
        return std::nullopt;
    const QByteArray header = file.read(16);
    Reader reader(header, 0, header.size());
    uint64_t size = reader.u32();
    Box box{header.mid(4, 4), at, at + 8, 0};
    if (size == 1) {
        reader.skip(4);
        size = reader.u64();
        box.content += 8;
    } else if (size == 0) {
        size = uint64_t(fileSize - at);
    }
    if (reader.failed() || size < uint64_t(box.content - at) || size > uint64_t(fileSize - at))
        return std::nullopt;
    box.end = at + qint64(size);
    return box;
}

std::optional<Box> find(const QList<Box> &boxes, const char *type)
{
    const auto found = std::find_if(boxes.begin(), boxes.end(),
                                    [type](const Box &box) { return box.type == type; });
    return found == boxes.end() ? std::nullopt : std::optional<Box>(*found);
}

std::optional<Box> findPath(const QByteArray &data, const Box &from,
                            std::initializer_list<const char *> types)
{
    std::optional<Box> box = from;
    for (const char *type : types) {
        box = find(childBoxes(data, *box), type);
        if (!box)
            break;
    }
    return box;
}

namespace {

constexpr uint32_t kBaseDataOffsetPresent = 0x000001;
constexpr uint32_t kDescriptionIndexPresent = 0x000002;
constexpr uint32_t kDefaultDurationPresent = 0x000008;
constexpr uint32_t kDefaultSizePresent = 0x000010;
constexpr uint32_t kDefaultFlagsPresent = 0x000020;
constexpr uint32_t kDataOffsetPresent = 0x000001;
constexpr uint32_t kFirstSampleFlagsPresent = 0x000004;
constexpr uint32_t kSampleDurationPresent = 0x000100;
constexpr uint32_t kSampleSizePresent = 0x000200;
constexpr uint32_t kSampleFlagsPresent = 0x000400;
constexpr uint32_t kCompositionOffsetPresent = 0x000800;
constexpr qint64 kLargestDefaultRun = 1 << 20;

} // namespace

QList<std::pair<uint32_t, TrackDefaults>> trackDefaults(const QByteArray &moov, const Box &mvex)
{
    QList<std::pair<uint32_t, TrackDefaults>> tracks;
    for (const Box &trex : childBoxes(moov, mvex)) {
        if (trex.type != "trex")
            continue;
        Reader reader(moov, trex.content, trex.end);
        reader.skip(4);
        const uint32_t id = reader.u32();
        TrackDefaults defaults;
        defaults.descriptionIndex = reader.u32();
        defaults.sample.duration = reader.u32();
        defaults.sample.size = reader.u32();
        defaults.sample.flags = reader.u32();
        if (!reader.failed())
            tracks.append({id, defaults});
    }
    return tracks;
}

std::optional<TrackFragment> readTrackFragmentHeader(const QByteArray &data, const Box &tfhd,
                                                     const TrackDefaults &defaults)
{
    Reader header(data, tfhd.content, tfhd.end);
    const uint32_t flags = header.u32() & 0xffffff;
    TrackFragment fragment;
    fragment.trackId = header.u32();
    if (flags & kBaseDataOffsetPresent)
        fragment.baseOffset = header.u64();
    fragment.descriptionIndex =
        flags & kDescriptionIndexPresent ? header.u32() : defaults.descriptionIndex;
    fragment.defaults = defaults.sample;
    if (flags & kDefaultDurationPresent)
        fragment.defaults.duration = header.u32();
    if (flags & kDefaultSizePresent)
        fragment.defaults.size = header.u32();
    if (flags & kDefaultFlagsPresent)
        fragment.defaults.flags = header.u32();
    if (header.failed())
        return std::nullopt;
    return fragment;
}

std::optional<uint64_t> readDecodeTime(const QByteArray &data, const Box &tfdt)
{
    Reader reader(data, tfdt.content, tfdt.end);
    const bool wide = reader.u32() >> 24 == 1;
    const uint64_t time = wide ? reader.u64() : reader.u32();
    if (reader.failed())
        return std::nullopt;
    return time;
}

std::optional<TrackRun> readTrackRun(const QByteArray &data, const Box &trun,
                                     const Sample &defaults)
{
    Reader run(data, trun.content, trun.end);
    const uint32_t flags = run.u32() & 0xffffff;
    const uint32_t count = run.u32();
    TrackRun result;
    if (flags & kDataOffsetPresent)
        result.dataOffset = int32_t(run.u32());
    const bool firstFlagsPresent = flags & kFirstSampleFlagsPresent;
    const uint32_t firstFlags = firstFlagsPresent ? run.u32() : 0;
    const int perSample =
        4 * (bool(flags & kSampleDurationPresent) + bool(flags & kSampleSizePresent) +
             bool(flags & kSampleFlagsPresent) + bool(flags & kCompositionOffsetPresent));
    if (run.failed())
        return std::nullopt;
    // A run of default samples holds no table to bound its count.
    const qint64 limit = perSample > 0 ? run.remaining() / perSample : kLargestDefaultRun;
    if (count > limit)
        return std::nullopt;
    result.samples.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        Sample sample = defaults;
        if (flags & kSampleDurationPresent)
            sample.duration = run.u32();
        if (flags & kSampleSizePresent)
            sample.size = run.u32();
        if (flags & kSampleFlagsPresent)
            sample.flags = run.u32();
        else if (i == 0 && firstFlagsPresent)
            sample.flags = firstFlags;
        if (flags & kCompositionOffsetPresent)
            sample.compositionOffset = int32_t(run.u32());
        result.samples.append(sample);
    }
    return result;
}

} // namespace lq::movie
