#pragma once

#include <vector>

namespace lq::test {

// How much of some sound is heard, and how much of it is one tone.
struct ToneSpan
{
    double soundSeconds = 0.0; // not silent
    double toneSeconds = 0.0;  // and mostly the tone
};

// Judges mono samples at rate in windows of 50 ms: a window is sound when it is louder than
// -40 dBFS, and tone when the frequency (a whole number of cycles per window) carries most of its
// energy. A tone at twice or half the frequency counts as sound only.
ToneSpan measureTone(const std::vector<float> &samples, int rate, double frequency);

// How loud some sound is: the root mean square of its windows of 50 ms louder than -60 dBFS, in
// dBFS (minus infinity when there are none), and the largest magnitude of a sample.
struct SoundLevel
{
    double decibels = 0.0;
    float peak = 0.0f;
};

SoundLevel measureLevel(const std::vector<float> &samples, int rate);

} // namespace lq::test
