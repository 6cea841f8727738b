#pragma once

#include <QSize>
#include <QString>

namespace lq {

// How the recorded sound is encoded for a quality token ("32", "64", "128", "256",
// "lossless"; any other token gives AAC at the encoder's own rate).
struct AudioEncoding
{
    QString encoder;  // element factory name
    int bitRate = 0;  // bits per second; 0 leaves the encoder's default
    int channels = 0; // 0 keeps the captured channels

    static AudioEncoding forToken(const QString &token);
    friend bool operator==(const AudioEncoding &, const AudioEncoding &) = default;
};

// How the recorded picture is encoded (H.264) for a quality token ("low", "medium", "high",
// "hd"; any other token keeps the camera's size and the encoder's rate).
struct VideoEncoding
{
    QSize size;           // invalid keeps the camera's size
    int kilobitRate = 0;  // 0 leaves the encoder's default
    int maxFrameRate = 0; // pictures per second at most; 0 keeps the camera's rate

    static VideoEncoding forToken(const QString &token);
    friend bool operator==(const VideoEncoding &, const VideoEncoding &) = default;
};

} // namespace lq
