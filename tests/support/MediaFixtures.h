#pragma once

#include <QString>

namespace lq::test {

// Small media files made by GStreamer pipelines at test time. Sound is 44.1 kHz stereo, video
// 64 x 48 at 10 frames a second.
enum class MediaFixture {
    AacM4a,        // AAC in an MPEG-4 file
    AacMov,        // AAC in a QuickTime movie
    AlacMov,       // Apple Lossless
    LpcmMov,       // 16-bit linear PCM
    Mp3,           // a bare MP3 stream
    Wav,           // linear PCM
    H264AacMov,    // H.264 video with AAC sound
    TwoH264Mov,    // two H.264 video tracks
    Mpeg4VideoMov, // MPEG-4 Part 2 video alone, a tenth of the length asked
    VorbisOgg,     // Vorbis sound, which the movie format does not take
};

class MediaFixtures
{
public:
    // A file of that kind lasting about seconds (a multiple of 0.1), made once per process and
    // shared: tests must not change it. Empty, with a test failure added, when it cannot be made.
    static QString path(MediaFixture fixture, double seconds);
    // The files of one recording session as the capture writes them (sound, and pictures in
    // groups of half a second, in half-second fragments), a new file every fileSeconds (a multiple
    // of 0.5), the last one half as long; each file is finalised except, with cutOff, the last,
    // which a crash cut off. Made once per process and shared: tests must not change them.
    static QStringList recordedSession(int files, double fileSeconds, bool cutOff = false);
    // A folder of the process's own for files the tests write.
    static QString folder();
};

} // namespace lq::test
