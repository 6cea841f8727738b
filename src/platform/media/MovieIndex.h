#pragma once

#include "platform/media/MovieBoxes.h"
#include "platform/media/MovieSamples.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <optional>

class QIODevice;

namespace lq::movie {

// The top-level boxes of a movie file that matter, read as the file stands; reading stops at a
// cut-off box.
struct MovieLayout
{
    QByteArray ftyp;
    QByteArray moov; // the whole box
    struct Span
    {
        qint64 begin, end;
    };
    QList<Span> fragments; // moof boxes, in file order

    // The moov box within moov; none when the file has no header.
    std::optional<Box> header() const;
    // Whether the header announces fragments (an mvex box).
    bool announcesFragments() const;
};

MovieLayout readMovieLayout(QIODevice &file);

// One entry of an edit list: a duration in the movie's timescale showing the track's media from
// mediaTime on (in the track's timescale), or nothing for an empty edit.
struct Edit
{
    uint64_t duration = 0;
    int64_t mediaTime = 0;
    int32_t rate = 0x10000; // 16.16
};
constexpr int64_t kEmptyEdit = -1;

struct MovieTrack
{
    Box trak; // in the header's moov
    uint32_t id = 0;
    uint32_t timescale = 0;
    QByteArray handler; // "soun", "vide", ...
    Box stsd;
    QList<Edit> edits;         // none: the media plays from its beginning
    bool selfContained = true; // its data lies in the movie's own file
    TrackDefaults defaults;
    QList<TrackSample> samples;
    uint64_t decodeEnd = 0; // in the track's timescale
};

// The tracks of the header with every sample of the header and of each complete fragment, up to
// the first that is cut off; none when the tables are damaged or hold too many samples. The edits
// of a header that announces fragments end with its first fragment, so they are not read.
std::optional<QList<MovieTrack>> readMovieTracks(QIODevice &file, const MovieLayout &layout);

// The timescale and the duration the header's mvhd tells; none without one.
struct MovieTime
{
    uint32_t timescale = 0;
    uint64_t duration = 0;
};
std::optional<MovieTime> readMovieTime(const QByteArray &moov, const Box &header);

// Whether a full box is of version 1, whose times are 64 bits wide.
bool isWide(const QByteArray &data, const Box &box);

} // namespace lq::movie
