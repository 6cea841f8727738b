#pragma once

#include <QStringList>

namespace lq::test {

// What a recording that ended badly may lose: its last fragment, and the moment the writer needs
// to start.
constexpr double kMostSecondsLost = 2.0;

// The files of a recording session with that stem, in their order.
QStringList sessionFiles(const QString &stem);

struct DecodedLength
{
    double audio = 0.0; // the end of the last decoded sample, in seconds; 0 without sound
    double video = 0.0; // 0 without pictures
};
// Decodes a whole file through decodebin.
DecodedLength decodedLength(const QString &path);

// Checks that the files, one after the other, hold at least seconds of sound and of pictures: as
// the media info and decodebin read each file, and as our player plays them all.
void expectPlaysSoundAndPictures(const QStringList &files, double seconds);

} // namespace lq::test
