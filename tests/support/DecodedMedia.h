#pragma once

#include <QImage>
#include <QString>

#include <optional>

namespace lq::test {

// What decoding a whole media file gave.
struct DecodedMedia
{
    bool decoded = false;     // to its end, without an error
    double audioEnd = 0.0;    // the end of the last decoded sound, in seconds; 0 without sound
    double videoStart = -1.0; // when the first decoded picture begins; -1 without pictures
    double videoEnd = 0.0;    // the end of the last decoded picture; 0 without pictures
    int pictures = 0;
    QImage picture; // the one asked for, when there is one
};

// Decodes every stream of the file at path through decodebin, keeping the first picture that
// begins at or after pictureAt seconds.
DecodedMedia decodeToEnd(const QString &path, std::optional<double> pictureAt = std::nullopt);

} // namespace lq::test
