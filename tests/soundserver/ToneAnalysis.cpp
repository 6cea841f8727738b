#include "soundserver/ToneAnalysis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lq::test {
namespace {

constexpr double kWindowSeconds = 0.05;
constexpr double kSilence = 0.01; // -40 dBFS as root mean square
constexpr double kQuiet = 0.001;  // -60 dBFS
constexpr double kToneShare = 0.5;

// The part of a window's energy at the frequency (Goertzel), 1 for a pure tone there.
double energyOf(const float *window, int length)
{
    double energy = 0.0;
    for (int i = 0; i < length; ++i)
        energy += double(window[i]) * window[i];
    return energy;
}

double toneShare(const float *window, int length, int rate, double frequency, double energy)
{
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / rate);
    double previous = 0.0;
    double beforePrevious = 0.0;
    for (int i = 0; i < length; ++i) {
        const double current = window[i] + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    const double power = previous * previous + beforePrevious * beforePrevious -
                         coefficient * previous * beforePrevious;
    return power / (energy * length / 2.0);
}

} // namespace

ToneSpan measureTone(const std::vector<float> &samples, int rate, double frequency)
{
    ToneSpan span;
    const int length = static_cast<int>(rate * kWindowSeconds);
    for (std::size_t start = 0; start + length <= samples.size(); start += length) {
        const float *window = samples.data() + start;
        const double energy = energyOf(window, length);
        if (std::sqrt(energy / length) < kSilence)
            continue;
        span.soundSeconds += kWindowSeconds;
        if (toneShare(window, length, rate, frequency, energy) >= kToneShare)
            span.toneSeconds += kWindowSeconds;
    }
    return span;
}

SoundLevel measureLevel(const std::vector<float> &samples, int rate)
{
    SoundLevel level;
    const int length = static_cast<int>(rate * kWindowSeconds);
    double energy = 0.0;
    std::size_t counted = 0;
    for (std::size_t start = 0; start + length <= samples.size(); start += length) {
        const double windowEnergy = energyOf(samples.data() + start, length);
        if (std::sqrt(windowEnergy / length) < kQuiet)
            continue;
        energy += windowEnergy;
        counted += length;
    }
    level.decibels = 10.0 * std::log10(counted ? energy / double(counted) : 0.0);
    for (const float sample : samples)
        level.peak = std::max(level.peak, std::abs(sample));
    return level;
}

} // namespace lq::test
