#pragma once

#include "platform/media/MovieIndex.h"

#include <QByteArray>
#include <QList>

namespace lq::movie {

// A new moov box for tracks read from the header top of moov (each track's trak lies in it):
// the header's own boxes copied, except that each track's sample table describes its samples
// where they lie (one sample per chunk), its edit list is the track's edits (none when it has
// none), the durations follow, and fragments are no longer announced.
QByteArray writeMovieHeader(const QByteArray &moov, const Box &top,
                            const QList<MovieTrack> &tracks);

} // namespace lq::movie
