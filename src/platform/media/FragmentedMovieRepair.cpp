#include "platform/media/FragmentedMovieRepair.h"

#include "platform/foundation/FileOperations.h"
#include "platform/media/MovieBoxWriter.h"
#include "platform/media/MovieBoxes.h"
#include "platform/media/MovieSamples.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <unistd.h>

#include <algorithm>

namespace lq {
namespace {

using namespace movie;

constexpr qint64 kLargestHeaderBox = 16 * 1024 * 1024; // a movie or fragment header
constexpr qint64 kLargestTypeBox = 4096;
constexpr qint64 kCopyBlock = 1024 * 1024;
constexpr int kWideMediaDataHeader = 16;

enum ErrorCode { OpenFailed = 80, NotAMovie, Damaged, NothingToKeep, ReadFailed, WriteFailed };

Error repairError(int code, const QString &message)
{
    return Error(QStringLiteral("media"), code, message);
}

QString sentence(QString reason)
{
    reason = reason.trimmed();
    if (!reason.endsWith(QLatin1Char('.')))
        reason += QLatin1Char('.');
    return reason;
}

// The top-level boxes that matter, read as the file stands; reading stops at a cut-off box.
struct Layout
{
    QByteArray ftyp;
    QByteArray moov; // the whole box
    struct Span
    {
        qint64 begin, end;
    };
    QList<Span> fragments; // moof boxes, in file order
};

std::optional<QByteArray> readSpan(QIODevice &file, qint64 begin, qint64 end, qint64 largest)
{
    if (end - begin > largest || !file.seek(begin))
        return std::nullopt;
    QByteArray data = file.read(end - begin);
    if (data.size() != end - begin)
        return std::nullopt;
    return data;
}

Layout readLayout(QIODevice &file)
{
    Layout layout;
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

struct Track
{
    Box trak;
    uint32_t id = 0;
    uint32_t timescale = 0;
    TrackDefaults defaults;
    QList<TrackSample> samples;
    uint64_t decodeEnd = 0; // in the track's timescale
};

uint32_t fieldU32(const QByteArray &data, qint64 at)
{
    return Reader(data, at, data.size()).u32();
}

// Whether a full box is of version 1, whose times are 64 bits wide.
bool isWide(const QByteArray &data, const Box &box)
{
    return Reader(data, box.content, box.end).u8() == 1;
}

// The tracks of the movie header with the samples it describes; none when one is damaged.
std::optional<QList<Track>> readTracks(const QByteArray &moov, const QList<Box> &children)
{
    QList<Track> tracks;
    for (const Box &trak : children) {
        if (trak.type != "trak")
            continue;
        const std::optional<Box> tkhd = find(childBoxes(moov, trak), "tkhd");
        const std::optional<Box> mdhd = findPath(moov, trak, {"mdia", "mdhd"});
        const std::optional<Box> stbl = findPath(moov, trak, {"mdia", "minf", "stbl"});
        if (!tkhd || !mdhd || !stbl)
            return std::nullopt;
        Track track;
        track.trak = trak;
        const bool wideHeader = isWide(moov, *tkhd);
        track.id = fieldU32(moov, tkhd->content + (wideHeader ? 20 : 12));
        const bool wideMedia = isWide(moov, *mdhd);
        track.timescale = fieldU32(moov, mdhd->content + (wideMedia ? 20 : 12));
        std::optional<QList<TrackSample>> samples = readSampleTable(moov, *stbl);
        if (track.timescale == 0 || !samples)
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
                                                                const QList<Track> &tracks,
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
                                        [id](const Track &track) { return track.id == id; });
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
void append(Track &track, const QList<TrackSample> &samples, std::optional<uint64_t> start)
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

// A sample table with one sample per chunk, its offsets moved by shift.
void writeSampleTable(BoxWriter &out, const QByteArray &moov, const Box &stbl,
                      const QList<TrackSample> &samples, int64_t shift)
{
    out.open("stbl");
    if (const std::optional<Box> stsd = find(childBoxes(moov, stbl), "stsd"))
        copyBox(out, moov, *stsd);
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
    const bool wide = std::any_of(samples.begin(), samples.end(), [shift](const TrackSample &s) {
        return uint64_t(int64_t(s.offset) + shift) > UINT32_MAX;
    });
    out.open(wide ? "co64" : "stco", 0, 0);
    out.u32(uint32_t(samples.size()));
    for (const TrackSample &sample : samples) {
        const auto offset = uint64_t(int64_t(sample.offset) + shift);
        if (wide)
            out.u64(offset);
        else
            out.u32(uint32_t(offset));
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

// The header of the repaired movie: every track with all its samples, no fragments and no
// edits (the first header's edits end with the first fragment).
QByteArray movieHeader(const QByteArray &moov, const Box &top, const QList<Track> &tracks,
                       int64_t shift)
{
    const std::optional<Box> mvhd = find(childBoxes(moov, top), "mvhd");
    const bool wideMovie = mvhd && isWide(moov, *mvhd);
    const uint32_t movieTimescale =
        mvhd ? fieldU32(moov, mvhd->content + (wideMovie ? 20 : 12)) : 0;
    const auto inMovieTime = [movieTimescale](const Track &track) {
        return uint64_t(double(track.decodeEnd) * movieTimescale / track.timescale + 0.5);
    };
    uint64_t movieLength = 0;
    for (const Track &track : tracks)
        movieLength = std::max(movieLength, inMovieTime(track));

    BoxWriter out;
    rewriteChildren(out, moov, top, [&](const Box &child) {
        if (child.type == "mvhd") {
            out.bytes(withDuration(moov, child, 16, 24, movieLength));
            return true;
        }
        const auto track = std::find_if(tracks.begin(), tracks.end(), [&](const Track &track) {
            return track.trak.begin == child.begin;
        });
        if (child.type == "mvex" || track == tracks.end())
            return child.type == "mvex";
        rewriteChildren(out, moov, child, [&](const Box &part) {
            if (part.type == "tkhd")
                out.bytes(withDuration(moov, part, 20, 28, inMovieTime(*track)));
            else if (part.type == "mdia")
                rewriteChildren(out, moov, part, [&](const Box &media) {
                    if (media.type == "mdhd")
                        out.bytes(withDuration(moov, media, 16, 24, track->decodeEnd));
                    else if (media.type == "minf")
                        rewriteChildren(out, moov, media, [&](const Box &info) {
                            if (info.type != "stbl")
                                return false;
                            writeSampleTable(out, moov, info, track->samples, shift);
                            return true;
                        });
                    return media.type == "mdhd" || media.type == "minf";
                });
            return part.type == "tkhd" || part.type == "mdia" || part.type == "edts";
        });
        return true;
    });
    return out.data();
}

} // namespace

FragmentedMovieRepair::Outcome FragmentedMovieRepair::repair(const QString &path, Error *error)
{
    const QString name = QFileInfo(path).fileName();
    QFile movie(path);
    if (!movie.open(QIODevice::ReadOnly)) {
        setError(error, repairError(OpenFailed, QStringLiteral("The movie “%1” could not be "
                                                               "opened: %2")
                                                    .arg(name, sentence(movie.errorString()))));
        return Outcome::Failed;
    }
    const QString temporaryPath = temporaryPathBeside(path);
    QFile output(temporaryPath);
    if (!output.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        setError(error, repairError(WriteFailed, QStringLiteral("The repaired movie “%1” could "
                                                                "not be written: %2")
                                                     .arg(name, sentence(output.errorString()))));
        return Outcome::Failed;
    }
    Outcome outcome = repair(movie, output, name, error);
    if (outcome == Outcome::Repaired) {
        const bool stored = output.flush() && ::fsync(output.handle()) == 0;
        output.close();
        if (!stored) {
            setError(error,
                     repairError(WriteFailed, QStringLiteral("The repaired movie “%1” could not be "
                                                             "written: %2")
                                                  .arg(name, sentence(output.errorString()))));
            outcome = Outcome::Failed;
        } else if (!FileOperations::current().replace(temporaryPath, path, error)) {
            outcome = Outcome::Failed;
        }
    }
    output.close();
    if (outcome != Outcome::Repaired)
        QFile::remove(temporaryPath);
    return outcome;
}

FragmentedMovieRepair::Outcome FragmentedMovieRepair::repair(QIODevice &movie, QIODevice &output,
                                                             const QString &name, Error *error)
{
    const qint64 fileSize = movie.size();
    const Layout layout = readLayout(movie);
    const QList<Box> top = childBoxes(layout.moov, 0, layout.moov.size());
    if (top.isEmpty() || top.first().type != "moov") {
        setError(error, repairError(NotAMovie, QStringLiteral("The file “%1” is not a movie that "
                                                              "can be repaired.")
                                                   .arg(name)));
        return Outcome::Failed;
    }
    const QList<Box> children = childBoxes(layout.moov, top.first());
    const std::optional<Box> mvex = find(children, "mvex");
    if (!mvex)
        return Outcome::NotNeeded;
    std::optional<QList<Track>> tracks = readTracks(layout.moov, children);
    const Error damaged =
        repairError(Damaged, QStringLiteral("The movie “%1” is damaged beyond repair: its sample "
                                            "tables do not agree.")
                                 .arg(name));
    if (!tracks) {
        setError(error, damaged);
        return Outcome::Failed;
    }
    for (const auto &[id, defaults] : trackDefaults(layout.moov, *mvex)) {
        for (Track &track : *tracks) {
            if (track.id == id)
                track.defaults = defaults;
        }
    }

    // Every complete fragment, up to the first that is cut off.
    qsizetype sampleCount = 0;
    for (const Track &track : std::as_const(*tracks))
        sampleCount += track.samples.size();
    for (const Layout::Span &span : layout.fragments) {
        const std::optional<QByteArray> moof =
            readSpan(movie, span.begin, span.end, kLargestHeaderBox);
        QHash<uint32_t, uint64_t> starts;
        const auto added =
            moof ? readFragment(*moof, span.begin, fileSize, *tracks, starts) : std::nullopt;
        if (!added)
            break;
        for (Track &track : *tracks) {
            const QList<TrackSample> samples = added->value(track.id);
            sampleCount += samples.size();
            if (sampleCount > kMostSamples) {
                setError(error, damaged);
                return Outcome::Failed;
            }
            append(track, samples,
                   starts.contains(track.id) ? std::optional<uint64_t>(starts.value(track.id))
                                             : std::nullopt);
        }
    }

    // The samples' data is copied as one block, with whatever lies between them.
    uint64_t dataBegin = UINT64_MAX;
    uint64_t dataEnd = 0;
    for (const Track &track : std::as_const(*tracks)) {
        for (const TrackSample &sample : track.samples) {
            if (sample.offset > uint64_t(fileSize) ||
                sample.size > uint64_t(fileSize) - sample.offset) {
                setError(error, damaged);
                return Outcome::Failed;
            }
            if (sample.size == 0)
                continue;
            dataBegin = std::min(dataBegin, sample.offset);
            dataEnd = std::max(dataEnd, sample.offset + sample.size);
        }
    }
    if (dataEnd == 0) {
        setError(error, repairError(NothingToKeep, QStringLiteral("The movie “%1” holds no "
                                                                  "complete sound or pictures "
                                                                  "to keep.")
                                                       .arg(name)));
        return Outcome::Failed;
    }
    const qint64 dataStart = layout.ftyp.size() + kWideMediaDataHeader;
    const int64_t shift = dataStart - int64_t(dataBegin);
    const QByteArray header = movieHeader(layout.moov, top.first(), *tracks, shift);

    BoxWriter mdat;
    mdat.u32(1);
    mdat.bytes("mdat");
    mdat.u64(kWideMediaDataHeader + dataEnd - dataBegin);
    const auto writeFailed = [&] {
        return repairError(WriteFailed,
                           QStringLiteral("The repaired movie “%1” could not be written: %2")
                               .arg(name, sentence(output.errorString())));
    };
    if (output.write(layout.ftyp) != layout.ftyp.size() ||
        output.write(mdat.data()) != mdat.data().size()) {
        setError(error, writeFailed());
        return Outcome::Failed;
    }
    if (!movie.seek(qint64(dataBegin))) {
        setError(error, repairError(ReadFailed, QStringLiteral("The movie “%1” could not be "
                                                               "read: %2")
                                                    .arg(name, sentence(movie.errorString()))));
        return Outcome::Failed;
    }
    for (uint64_t left = dataEnd - dataBegin; left > 0;) {
        const QByteArray block = movie.read(qint64(std::min<uint64_t>(left, kCopyBlock)));
        if (block.isEmpty()) {
            setError(error, repairError(ReadFailed, QStringLiteral("The movie “%1” could not be "
                                                                   "read: %2")
                                                        .arg(name, sentence(movie.errorString()))));
            return Outcome::Failed;
        }
        if (output.write(block) != block.size()) {
            setError(error, writeFailed());
            return Outcome::Failed;
        }
        left -= uint64_t(block.size());
    }
    if (output.write(header) != header.size()) {
        setError(error, writeFailed());
        return Outcome::Failed;
    }
    return Outcome::Repaired;
}

} // namespace lq
