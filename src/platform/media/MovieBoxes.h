#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <utility>

namespace lq::movie {

// Big-endian reads within [begin, end) of one buffer; a read past the end sets failed and
// answers 0, and every later read fails too.
class Reader
{
public:
    Reader(const QByteArray &data, qint64 begin, qint64 end) : m_data(data), m_at(begin), m_end(end)
    {}

    uint8_t u8() { return uint8_t(take(1)); }
    uint16_t u16() { return uint16_t(take(2)); }
    uint32_t u32() { return uint32_t(take(4)); }
    uint64_t u64() { return take(8); }
    void skip(qint64 bytes);
    qint64 at() const { return m_at; }
    qint64 remaining() const { return m_end - m_at; }
    bool failed() const { return m_failed; }

private:
    uint64_t take(int bytes);

    const QByteArray &m_data;
    qint64 m_at;
    qint64 m_end;
    bool m_failed = false;
};

struct Box
{
    QByteArray type;
    qint64 begin = 0;   // of the header
    qint64 content = 0; // after the header
    qint64 end = 0;
};

// The boxes inside [begin, end) of data; stops at the first malformed one.
QList<Box> childBoxes(const QByteArray &data, qint64 begin, qint64 end);
// The children of box.
inline QList<Box> childBoxes(const QByteArray &data, const Box &box)
{
    return childBoxes(data, box.content, box.end);
}
// The header of the top-level box that starts at offset at of file; none when fewer than 8
// bytes are left, the box is cut off or the file cannot seek there.
std::optional<Box> readTopLevelBox(QIODevice &file, qint64 at);
std::optional<Box> find(const QList<Box> &boxes, const char *type);
// The first box of each type in turn, one level below the other; none when one is missing.
std::optional<Box> findPath(const QByteArray &data, const Box &from,
                            std::initializer_list<const char *> types);

// Sample flags: set for a sample that is not a sync sample.
constexpr uint32_t kNonSyncSample = 0x10000;

struct Sample
{
    uint32_t duration = 0;
    uint32_t size = 0;
    uint32_t flags = 0;
    int32_t compositionOffset = 0;
};

// What a track fragment header says, with the movie's defaults filled in where it is silent.
struct TrackFragment
{
    uint32_t trackId = 0;
    std::optional<uint64_t> baseOffset;
    uint32_t descriptionIndex = 0; // 0: the movie's default
    Sample defaults;               // duration, size and flags
};

// The track defaults of a movie header's mvex (trex), by track id.
struct TrackDefaults
{
    uint32_t descriptionIndex = 1;
    Sample sample;
};
QList<std::pair<uint32_t, TrackDefaults>> trackDefaults(const QByteArray &moov, const Box &mvex);

std::optional<TrackFragment> readTrackFragmentHeader(const QByteArray &data, const Box &tfhd,
                                                     const TrackDefaults &defaults);
// The decode time a track fragment starts at; none without a tfdt box.
std::optional<uint64_t> readDecodeTime(const QByteArray &data, const Box &tfdt);

struct TrackRun
{
    std::optional<int32_t> dataOffset; // from the fragment's base
    QList<Sample> samples;
};
// One trun box; none when it is cut off or claims more samples than it holds.
std::optional<TrackRun> readTrackRun(const QByteArray &data, const Box &trun,
                                     const Sample &defaults);

} // namespace lq::movie
