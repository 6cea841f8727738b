#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace lq::test {

// How a media file reads apart from our media layer.

// The duration GStreamer's own gst-discoverer-1.0 tells; none when it cannot read the file.
std::optional<double> discoveredDuration(const QString &path);
// The streams it tells, each as its kind and codec without profile ("video: H.264"); empty when it
// cannot read the file.
QStringList discoveredStreams(const QString &path);

struct DecodedEnds
{
    // Where the last decoded sound and picture end, in seconds of running time; none when the
    // file has no such stream or could not be decoded.
    std::optional<double> sound;
    std::optional<double> pictures;
};
// Decodes the whole file (decodebin into fake sinks, as fast as it goes), its first sound and
// first video stream when it has them.
DecodedEnds decodeToTheEnd(const QString &path, bool sound, bool pictures);

} // namespace lq::test
