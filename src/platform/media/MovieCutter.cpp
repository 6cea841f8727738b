#include "platform/media/MovieCutter.h"

#include "platform/media/MovieData.h"
#include "platform/media/MovieHeader.h"
#include "platform/media/MovieIndex.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace lq {
namespace {

using namespace movie;

using Outcome = MovieCutter::Outcome;

enum ErrorCode { ReadFailed = 90, WriteFailed };

constexpr int32_t kNormalRate = 0x10000;

// a * to / from, rounded; 0 from a timescale of 0 (a track without samples).
uint64_t rescaled(uint64_t a, uint32_t to, uint32_t from)
{
    if (from == 0)
        return 0;
    return uint64_t((unsigned __int128)a * to / from +
                    ((unsigned __int128)a * to % from * 2 >= from ? 1 : 0));
}

// Where a track's media lies in its file's time, by its edit list: after `lead` (movie timescale)
// the media plays from mediaStart (its own timescale) for `shown`, or to its end.
struct Placement
{
    uint64_t lead = 0;
    int64_t mediaStart = 0;
    std::optional<uint64_t> shown;
};

std::optional<Placement> placementOf(const MovieTrack &track)
{
    Placement placement;
    qsizetype next = 0;
    while (next < track.edits.size() && track.edits[next].mediaTime == kEmptyEdit)
        placement.lead += track.edits[next++].duration;
    if (track.edits.isEmpty())
        return placement;
    if (next != track.edits.size() - 1 || track.edits[next].rate != kNormalRate ||
        track.edits[next].mediaTime < 0)
        return std::nullopt;
    placement.mediaStart = track.edits[next].mediaTime;
    placement.shown = track.edits[next].duration;
    return placement;
}

// Clears the bit rates of the sample descriptions in [begin, end) of moov within copy (which
// starts at origin): btrt boxes and the rates of esds's decoder configuration.
void clearBitRates(const QByteArray &moov, qint64 begin, qint64 end, QByteArray &copy,
                   qint64 origin)
{
    const auto clear = [&](qint64 from, qint64 to) {
        for (qint64 at = std::max(from, begin); at < std::min(to, end); ++at)
            copy[at - origin] = 0;
    };
    const auto descriptor = [](Reader &reader) {
        const uint8_t tag = reader.u8();
        for (int i = 0; i < 4 && reader.u8() & 0x80; ++i) {
        }
        return tag;
    };
    for (const Box &box : childBoxes(moov, begin, end)) {
        if (box.type == "btrt") {
            clear(box.content, box.end);
        } else if (box.type == "wave") {
            clearBitRates(moov, box.content, box.end, copy, origin);
        } else if (box.type == "esds") {
            Reader reader(moov, box.content + 4, box.end);
            if (descriptor(reader) != 0x03)
                continue;
            reader.skip(2);
            const uint8_t flags = reader.u8();
            reader.skip(flags & 0x80 ? 2 : 0);
            if (flags & 0x40)
                reader.skip(reader.u8());
            reader.skip(flags & 0x20 ? 2 : 0);
            if (descriptor(reader) == 0x04 && !reader.failed())
                clear(reader.at() + 2, reader.at() + 13); // buffer size, largest and mean rates
        }
    }
}

// A track's sample descriptions as the files of one recording share them: the bit rates that
// the muxer measured for each file left out.
QByteArray comparableDescriptions(const QByteArray &moov, const MovieTrack &track)
{
    const Box &stsd = track.stsd;
    QByteArray copy = moov.mid(stsd.begin, stsd.end - stsd.begin);
    for (const Box &entry : childBoxes(moov, stsd.content + 8, stsd.end)) {
        qint64 children = entry.content + 8; // after the reserved bytes and the data reference
        if (track.handler == "vide") {
            children += 70;
        } else if (track.handler == "soun") {
            const uint16_t version = Reader(moov, children, entry.end).u16();
            children += 20 + (version == 1 ? 16 : version == 2 ? 36 : 0);
        } else {
            continue;
        }
        clearBitRates(moov, children, entry.end, copy, stsd.begin);
    }
    return copy;
}

// One file of the recording, read.
struct Source
{
    std::unique_ptr<QFile> file;
    MovieLayout layout;
    Box header;
    MovieTime time;
    QList<MovieTrack> tracks;
    QList<Placement> placements; // of each track
    uint64_t start = 0;          // in the recording, in the movie timescale
    uint64_t length = 0;         // the longer of what the header and the tracks tell
    DataSpan span;               // of the samples kept
    uint64_t spanOffset = 0;     // where that data lies in the movie written

    // Where a track's media ends in the file's time.
    uint64_t presentedEnd(qsizetype track) const
    {
        const MovieTrack &media = tracks[track];
        const Placement &placement = placements[track];
        const uint64_t played =
            uint64_t(std::max<int64_t>(0, int64_t(media.decodeEnd) - placement.mediaStart));
        return placement.lead +
               placement.shown.value_or(rescaled(played, time.timescale, media.timescale));
    }
};

std::optional<Source> readSource(const QString &path)
{
    Source source;
    source.file = std::make_unique<QFile>(path);
    if (!source.file->open(QIODevice::ReadOnly))
        return std::nullopt;
    source.layout = readMovieLayout(*source.file);
    const std::optional<Box> header = source.layout.header();
    const std::optional<MovieTime> time =
        header ? readMovieTime(source.layout.moov, *header) : std::nullopt;
    std::optional<QList<MovieTrack>> tracks =
        time ? readMovieTracks(*source.file, source.layout) : std::nullopt;
    if (!tracks)
        return std::nullopt;
    source.header = *header;
    source.time = *time;
    source.tracks = std::move(*tracks);
    source.length = time->duration;
    for (qsizetype i = 0; i < source.tracks.size(); ++i) {
        const std::optional<Placement> placement = placementOf(source.tracks[i]);
        if (!placement || !source.tracks[i].selfContained)
            return std::nullopt;
        source.placements.append(*placement);
        source.length = std::max(source.length, source.presentedEnd(i));
    }
    return source;
}

// Whether later's streams are first's, as one recording's files share them.
bool sameStreams(const Source &first, const Source &later)
{
    if (first.time.timescale != later.time.timescale || first.tracks.size() != later.tracks.size())
        return false;
    for (qsizetype i = 0; i < first.tracks.size(); ++i) {
        const MovieTrack &a = first.tracks[i];
        const MovieTrack &b = later.tracks[i];
        if (a.handler != b.handler || a.timescale != b.timescale ||
            comparableDescriptions(first.layout.moov, a) !=
                comparableDescriptions(later.layout.moov, b))
            return false;
    }
    return true;
}

// The samples of a track shown before limit (in the file's time, movie timescale), with those
// decoded before them: a prefix in decoding order.
QList<TrackSample> keptSamples(const Source &source, qsizetype track, uint64_t limit)
{
    const MovieTrack &media = source.tracks[track];
    const Placement &placement = source.placements[track];
    const uint64_t shownUntil = std::min(limit, source.presentedEnd(track));
    if (shownUntil <= placement.lead)
        return {};
    const int64_t until =
        placement.mediaStart +
        int64_t(rescaled(shownUntil - placement.lead, media.timescale, source.time.timescale));
    qsizetype count = 0;
    int64_t decoded = 0;
    for (qsizetype i = 0; i < media.samples.size(); ++i) {
        if (decoded + media.samples[i].compositionOffset < until)
            count = i + 1;
        decoded += media.samples[i].duration;
    }
    return media.samples.first(count);
}

// One track of the movie written, joined from the files' tracks in turn.
class JoinedTrack
{
public:
    explicit JoinedTrack(const MovieTrack &first) : m_track(first)
    {
        m_track.samples.clear();
        m_track.edits.clear();
        m_track.decodeEnd = 0;
    }

    // Adds a file's samples, whose media starts at `at` in the recording (movie timescale);
    // false when they overlap the ones before beyond rounding, or cannot follow them.
    bool add(QList<TrackSample> samples, const Placement &placement, uint64_t at,
             uint64_t presentedEnd, uint32_t movieTimescale)
    {
        if (samples.isEmpty())
            return true;
        if (m_track.samples.isEmpty()) {
            m_lead = at;
            m_mediaStart = placement.mediaStart;
        } else {
            if (placement.mediaStart != 0)
                return false;
            const uint64_t target =
                uint64_t(m_mediaStart) + rescaled(at - m_lead, m_track.timescale, movieTimescale);
            const int64_t tolerance = int64_t(m_track.timescale / movieTimescale) + 1;
            const int64_t gap = int64_t(target) - int64_t(m_track.decodeEnd);
            uint32_t &last = m_track.samples.last().duration;
            if (gap < -tolerance || (gap > 0 && uint64_t(gap) > UINT32_MAX - last))
                return false;
            if (gap > 0) {
                last += uint32_t(gap);
                m_track.decodeEnd += uint64_t(gap);
            }
        }
        for (const TrackSample &sample : std::as_const(samples))
            m_track.decodeEnd += sample.duration;
        m_track.samples.append(std::move(samples));
        m_end = std::max(m_end, presentedEnd);
        return true;
    }

    // The track, shown until the cut (movie timescale).
    MovieTrack finished(uint64_t cut) const
    {
        MovieTrack track = m_track;
        const uint64_t end = std::min(cut, m_end);
        if (!track.samples.isEmpty() && end > m_lead) {
            if (m_lead > 0)
                track.edits.append({m_lead, kEmptyEdit, kNormalRate});
            track.edits.append({end - m_lead, m_mediaStart, kNormalRate});
        }
        return track;
    }

private:
    MovieTrack m_track;
    uint64_t m_lead = 0;
    int64_t m_mediaStart = 0;
    uint64_t m_end = 0;
};

Error cutError(int code, const QString &message)
{
    return Error(QStringLiteral("media"), code, message);
}

QString reasonOf(const QIODevice &device)
{
    QString reason = device.errorString().trimmed();
    if (!reason.endsWith(QLatin1Char('.')))
        reason += QLatin1Char('.');
    return reason;
}

} // namespace

MovieCutter::Outcome MovieCutter::write(const QStringList &sources, double seconds,
                                        QIODevice &output, const QString &name, Movie *result,
                                        Error *error)
{
    if (sources.isEmpty() || !std::isfinite(seconds) || seconds < 0.0)
        return Outcome::NotJoinable;
    // The files up to the one the cut falls in.
    std::vector<Source> files;
    uint64_t cut = 0;
    for (const QString &path : sources) {
        std::optional<Source> source = readSource(path);
        if (!source || (!files.empty() && !sameStreams(files.front(), *source)))
            return Outcome::NotJoinable;
        if (files.empty()) {
            const double limit = std::ldexp(1.0, 62);
            cut = uint64_t(std::min(std::round(seconds * source->time.timescale), limit));
        } else {
            source->start = files.back().start + files.back().length;
            if (source->start >= cut)
                break;
        }
        files.push_back(std::move(*source));
    }

    const Source &first = files.front();
    std::vector<JoinedTrack> joined;
    for (const MovieTrack &track : first.tracks)
        joined.emplace_back(track);
    uint64_t dataOffset = uint64_t(first.layout.ftyp.size() + kWideMediaDataHeader);
    for (Source &source : files) {
        QList<QList<TrackSample>> kept;
        for (qsizetype i = 0; i < source.tracks.size(); ++i) {
            kept.append(keptSamples(source, i, cut - source.start));
            if (!source.span.add(kept.last(), source.file->size()))
                return Outcome::NotJoinable;
        }
        source.spanOffset = dataOffset;
        dataOffset += source.span.size();
        for (qsizetype i = 0; i < kept.size(); ++i) {
            for (TrackSample &sample : kept[i])
                sample.offset = sample.offset - source.span.begin() + source.spanOffset;
            if (!joined[size_t(i)].add(std::move(kept[i]), source.placements[i],
                                       source.start + source.placements[i].lead,
                                       source.start + source.presentedEnd(i), first.time.timescale))
                return Outcome::NotJoinable;
        }
    }

    QList<MovieTrack> tracks;
    Movie written;
    uint64_t length = 0;
    for (const JoinedTrack &track : std::as_const(joined)) {
        tracks.append(track.finished(cut));
        const MovieTrack &made = tracks.last();
        uint64_t shown = 0;
        for (const Edit &edit : made.edits)
            shown += edit.duration;
        length = std::max(length, shown);
        if (!made.samples.isEmpty()) {
            written.hasSound = written.hasSound || made.handler == "soun";
            written.hasVideo = written.hasVideo || made.handler == "vide";
        }
    }
    const QByteArray header = writeMovieHeader(first.layout.moov, first.header, tracks);
    const QByteArray mdat =
        mediaDataHeader(dataOffset - uint64_t(first.layout.ftyp.size()) - kWideMediaDataHeader);
    bool stored = output.write(first.layout.ftyp) == first.layout.ftyp.size() &&
                  output.write(mdat) == mdat.size();
    for (const Source &source : files) {
        const CopyResult copied =
            stored ? copySpan(*source.file, source.span, output) : CopyResult::WriteFailed;
        if (copied == CopyResult::ReadFailed) {
            setError(error, cutError(ReadFailed,
                                     QStringLiteral("The media file “%1” could not be read: %2")
                                         .arg(QFileInfo(*source.file).fileName(),
                                              reasonOf(*source.file))));
            return Outcome::Failed;
        }
        stored = copied == CopyResult::Copied;
    }
    if (!stored || output.write(header) != header.size()) {
        setError(error, cutError(WriteFailed, QStringLiteral("Could not write “%1” as a movie: %2")
                                                  .arg(name, reasonOf(output))));
        return Outcome::Failed;
    }
    if (result) {
        written.length = double(length) / first.time.timescale;
        *result = written;
    }
    return Outcome::Written;
}

} // namespace lq
