#include "platform/media/MovieHeader.h"

#include "platform/media/MovieBoxWriter.h"

#include <algorithm>

namespace lq::movie {
namespace {

void putU32(QByteArray &data, qint64 at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        data[at + i] = char(value >> (24 - 8 * i));
}

// Sets the duration field of a copied mvhd, tkhd or mdhd box, which lies at narrowAt (version
// 0, 32 bits) or wideAt (version 1, 64 bits) after the box's content start.
QByteArray withDuration(const QByteArray &moov, const Box &box, int narrowAt, int wideAt,
                        uint64_t duration)
{
    QByteArray copy = moov.mid(box.begin, box.end - box.begin);
    const qint64 content = box.content - box.begin;
    const bool wide = isWide(moov, box);
    const qint64 at = content + (wide ? wideAt : narrowAt);
    if (at + (wide ? 8 : 4) > copy.size())
        return copy;
    if (wide) {
        putU32(copy, at, uint32_t(duration >> 32));
        putU32(copy, at + 4, uint32_t(duration));
    } else {
        putU32(copy, at, uint32_t(std::min<uint64_t>(duration, UINT32_MAX)));
    }
    return copy;
}

void copyBox(BoxWriter &out, const QByteArray &data, const Box &box)
{
    out.bytes(data.mid(box.begin, box.end - box.begin));
}

// Run-length entries of one value per sample.
template <class Value>
QList<std::pair<uint32_t, uint32_t>> runsOf(const QList<TrackSample> &samples, Value value)
{
    QList<std::pair<uint32_t, uint32_t>> runs;
    for (const TrackSample &sample : samples) {
        const uint32_t current = value(sample);
        if (!runs.isEmpty() && runs.last().second == current)
            ++runs.last().first;
        else
            runs.append({1, current});
    }
    return runs;
}

void writeRuns(BoxWriter &out, const char *type, uint8_t version,
               const QList<std::pair<uint32_t, uint32_t>> &runs)
{
    out.open(type, version, 0);
    out.u32(uint32_t(runs.size()));
    for (const auto &[count, value] : runs) {
        out.u32(count);
        out.u32(value);
    }
    out.close();
}

// A sample table with one sample per chunk.
void writeSampleTable(BoxWriter &out, const QByteArray &moov, const MovieTrack &track)
{
    const QList<TrackSample> &samples = track.samples;
    out.open("stbl");
    copyBox(out, moov, track.stsd);
    writeRuns(out, "stts", 0, runsOf(samples, [](const TrackSample &s) { return s.duration; }));
    const bool reordered = std::any_of(samples.begin(), samples.end(),
                                       [](const TrackSample &s) { return s.compositionOffset; });
    if (reordered) {
        const bool negative = std::any_of(samples.begin(), samples.end(), [](const TrackSample &s) {
            return s.compositionOffset < 0;
        });
        writeRuns(out, "ctts", negative ? 1 : 0, runsOf(samples, [](const TrackSample &s) {
                      return uint32_t(s.compositionOffset);
                  }));
    }
    if (!std::all_of(samples.begin(), samples.end(), [](const TrackSample &s) { return s.sync; })) {
        QList<uint32_t> sync;
        for (qsizetype i = 0; i < samples.size(); ++i) {
            if (samples[i].sync)
                sync.append(uint32_t(i + 1));
        }
        out.open("stss", 0, 0);
        out.u32(uint32_t(sync.size()));
        for (const uint32_t number : std::as_const(sync))
            out.u32(number);
        out.close();
    }
    out.open("stsc", 0, 0);
    QList<std::pair<uint32_t, uint32_t>> descriptions; // first chunk, description
    for (qsizetype i = 0; i < samples.size(); ++i) {
        if (descriptions.isEmpty() || descriptions.last().second != samples[i].descriptionIndex)
            descriptions.append({uint32_t(i + 1), samples[i].descriptionIndex});
    }
    out.u32(uint32_t(descriptions.size()));
    for (const auto &[firstChunk, description] : std::as_const(descriptions)) {
        out.u32(firstChunk);
        out.u32(1);
        out.u32(description);
    }
    out.close();
    out.open("stsz", 0, 0);
    out.u32(0);
    out.u32(uint32_t(samples.size()));
    for (const TrackSample &sample : samples)
        out.u32(sample.size);
    out.close();
    const bool wide = std::any_of(samples.begin(), samples.end(),
                                  [](const TrackSample &s) { return s.offset > UINT32_MAX; });
    out.open(wide ? "co64" : "stco", 0, 0);
    out.u32(uint32_t(samples.size()));
    for (const TrackSample &sample : samples) {
        if (wide)
            out.u64(sample.offset);
        else
            out.u32(uint32_t(sample.offset));
    }
    out.close();
    out.close();
}

void writeEdits(BoxWriter &out, const QList<Edit> &edits)
{
    out.open("edts");
    out.open("elst", 1, 0);
    out.u32(uint32_t(edits.size()));
    for (const Edit &edit : edits) {
        out.u64(edit.duration);
        out.u64(uint64_t(edit.mediaTime));
        out.u32(uint32_t(edit.rate));
    }
    out.close();
    out.close();
}

// Copies box with its children; handle writes (or leaves out) the children it answers true for.
template <class Handle>
void rewriteChildren(BoxWriter &out, const QByteArray &moov, const Box &box, Handle handle)
{
    out.open(box.type.constData());
    for (const Box &child : childBoxes(moov, box)) {
        if (!handle(child))
            copyBox(out, moov, child);
    }
    out.close();
}

} // namespace

QByteArray writeMovieHeader(const QByteArray &moov, const Box &top, const QList<MovieTrack> &tracks)
{
    const std::optional<MovieTime> time = readMovieTime(moov, top);
    const uint32_t movieTimescale = time ? time->timescale : 0;
    const auto presented = [movieTimescale](const MovieTrack &track) {
        if (!track.edits.isEmpty()) {
            uint64_t length = 0;
            for (const Edit &edit : track.edits)
                length += edit.duration;
            return length;
        }
        return track.timescale == 0
                   ? 0
                   : uint64_t(double(track.decodeEnd) * movieTimescale / track.timescale + 0.5);
    };
    uint64_t movieLength = 0;
    for (const MovieTrack &track : tracks)
        movieLength = std::max(movieLength, presented(track));

    BoxWriter out;
    rewriteChildren(out, moov, top, [&](const Box &child) {
        if (child.type == "mvhd") {
            out.bytes(withDuration(moov, child, 16, 24, movieLength));
            return true;
        }
        const auto track = std::find_if(tracks.begin(), tracks.end(), [&](const MovieTrack &track) {
            return track.trak.begin == child.begin;
        });
        if (child.type == "mvex" || track == tracks.end())
            return child.type == "mvex";
        rewriteChildren(out, moov, child, [&](const Box &part) {
            if (part.type == "tkhd") {
                out.bytes(withDuration(moov, part, 20, 28, presented(*track)));
                if (!track->edits.isEmpty())
                    writeEdits(out, track->edits);
            } else if (part.type == "mdia") {
                rewriteChildren(out, moov, part, [&](const Box &media) {
                    if (media.type == "mdhd")
                        out.bytes(withDuration(moov, media, 16, 24, track->decodeEnd));
                    else if (media.type == "minf")
                        rewriteChildren(out, moov, media, [&](const Box &info) {
                            if (info.type != "stbl")
                                return false;
                            writeSampleTable(out, moov, *track);
                            return true;
                        });
                    return media.type == "mdhd" || media.type == "minf";
                });
            }
            return part.type == "tkhd" || part.type == "mdia" || part.type == "edts";
        });
        return true;
    });
    return out.data();
}

} // namespace lq::movie
