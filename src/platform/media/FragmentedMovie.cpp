#include "platform/media/FragmentedMovie.h"

#include "platform/media/MovieBoxes.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <cstdint>

namespace lq {
namespace {

using movie::Box;
using movie::childBoxes;
using movie::find;
using movie::Reader;
using movie::readTopLevelBox;

constexpr qint64 kLargestHeaderBox = 16 * 1024 * 1024; // a movie or fragment header

struct Track
{
    movie::TrackDefaults defaults;
    uint32_t timescale = 0;
    uint64_t end = 0; // in the track's timescale
};

// The length a movie header tells, in seconds.
double headerSeconds(const QByteArray &moov)
{
    const std::optional<Box> mvhd = find(childBoxes(moov, 0, moov.size()), "mvhd");
    if (!mvhd)
        return 0.0;
    Reader header(moov, mvhd->content, mvhd->end);
    const bool wide = header.u32() >> 24 == 1;
    header.skip(wide ? 16 : 8);
    const uint32_t timescale = header.u32();
    const uint64_t duration = wide ? header.u64() : header.u32();
    return header.failed() || timescale == 0 ? 0.0 : double(duration) / timescale;
}

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
        const std::optional<Box> tkhd = find(childBoxes(moov, trak), "tkhd");
        const std::optional<Box> mdhd = movie::findPath(moov, trak, {"mdia", "mdhd"});
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
    for (const auto &[id, defaults] : movie::trackDefaults(moov, *mvex)) {
        if (tracks.contains(id))
            tracks[id].defaults = defaults;
    }
    return tracks;
}

uint64_t saturatingAdd(uint64_t a, uint64_t b)
{
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// Moves each track's end past one fragment, when all of the fragment's samples are in the file.
void addFragment(const QByteArray &moof, qint64 moofStart, qint64 fileSize,
                 QHash<uint32_t, Track> &tracks)
{
    for (const Box &traf : childBoxes(moof, 0, moof.size())) {
        if (traf.type != "traf")
            continue;
        const QList<Box> parts = childBoxes(moof, traf);
        const std::optional<Box> tfhd = find(parts, "tfhd");
        if (!tfhd || tfhd->end - tfhd->content < 8)
            continue;
        const auto track = tracks.find(Reader(moof, tfhd->content + 4, tfhd->end).u32());
        if (track == tracks.end())
            continue;
        const std::optional<movie::TrackFragment> fragment =
            movie::readTrackFragmentHeader(moof, *tfhd, track->defaults);
        if (!fragment)
            continue;
        uint64_t start = track->end;
        if (const std::optional<Box> tfdt = find(parts, "tfdt"))
            start = movie::readDecodeTime(moof, *tfdt).value_or(start);
        const uint64_t base = fragment->baseOffset.value_or(uint64_t(moofStart));
        if (base > uint64_t(fileSize))
            continue;
        qint64 data = qint64(base);
        uint64_t duration = 0;
        bool complete = true;
        for (const Box &trun : parts) {
            if (trun.type != "trun")
                continue;
            const std::optional<movie::TrackRun> run =
                movie::readTrackRun(moof, trun, fragment->defaults);
            if (!run) {
                complete = false;
                break;
            }
            if (run->dataOffset)
                data = qint64(base) + *run->dataOffset;
            for (const movie::Sample &sample : run->samples) {
                data += sample.size;
                duration = saturatingAdd(duration, sample.duration);
            }
            if (data < 0 || data > fileSize) { // its data lies beyond the end of the file
                complete = false;
                break;
            }
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
    const std::optional<Lengths> found = lengths(path);
    return found ? std::optional<double>(found->fragments) : std::nullopt;
}

std::optional<double> FragmentedMovie::playableDuration(QIODevice &movie)
{
    const std::optional<Lengths> found = lengths(movie);
    return found ? std::optional<double>(found->fragments) : std::nullopt;
}

std::optional<FragmentedMovie::Lengths> FragmentedMovie::lengths(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return lengths(file);
}

std::optional<FragmentedMovie::Lengths> FragmentedMovie::lengths(QIODevice &file)
{
    const qint64 fileSize = file.size();
    QHash<uint32_t, Track> tracks;
    Lengths found;
    bool fragmented = false;
    qint64 at = 0;
    while (const std::optional<Box> box = readTopLevelBox(file, at)) {
        if (box->type == "moov") {
            const std::optional<QByteArray> moov = readBox(file, box->content, box->end);
            if (!moov)
                return std::nullopt;
            tracks = tracksOfFragmentedMovie(*moov);
            found.header = headerSeconds(*moov);
            if (tracks.isEmpty())
                return std::nullopt;
        } else if (box->type == "moof" && !tracks.isEmpty()) {
            const std::optional<QByteArray> moof = readBox(file, box->content, box->end);
            if (!moof)
                break;
            addFragment(*moof, at, fileSize, tracks);
            fragmented = true;
        }
        at = box->end;
    }
    if (!fragmented)
        return std::nullopt;
    for (const Track &track : std::as_const(tracks))
        found.fragments = std::max(found.fragments, double(track.end) / track.timescale);
    return found;
}

bool FragmentedMovie::dropEditsOfFragmentedHeader(QByteArray &moov)
{
    const QList<Box> top = childBoxes(moov, 0, moov.size());
    if (top.size() != 1 || top.first().type != "moov" || top.first().end != moov.size())
        return false;
    const QList<Box> children = childBoxes(moov, top.first());
    if (!find(children, "mvex"))
        return false;
    bool changed = false;
    for (const Box &trak : children) {
        const std::optional<Box> edts =
            trak.type == "trak" ? find(childBoxes(moov, trak), "edts") : std::nullopt;
        if (edts) {
            moov.replace(edts->begin + 4, 4, "free");
            changed = true;
        }
    }
    return changed;
}

} // namespace lq
