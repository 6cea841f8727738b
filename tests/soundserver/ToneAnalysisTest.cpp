#include "soundserver/ToneAnalysis.h"

#include "soundserver/SoundPipelines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

using namespace lq::test;

namespace {

constexpr double kPitch = 440.0;

TEST(ToneAnalysisTest, CountsOnlyTheTonesOwnPitchAsTone)
{
    struct Case
    {
        double frequency;
        float amplitude;
        double soundSeconds;
        double toneSeconds;
    };
    const Case cases[] = {
        {kPitch, 0.5f, 1.0, 1.0},
        {kPitch * 2, 0.5f, 1.0, 0.0},
        {kPitch / 2, 0.5f, 1.0, 0.0},
        {kPitch, 0.005f, 0.0, 0.0},
    };
    for (const Case &tested : cases) {
        SCOPED_TRACE(tested.frequency);
        std::vector<float> samples(kAnalysisRate);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = tested.amplitude * std::sin(2.0 * std::numbers::pi * tested.frequency *
                                                     double(i) / kAnalysisRate);
        }
        const ToneSpan span = measureTone(samples, kAnalysisRate, kPitch);
        EXPECT_NEAR(span.soundSeconds, tested.soundSeconds, 1e-9);
        EXPECT_NEAR(span.toneSeconds, tested.toneSeconds, 1e-9);
    }
}

} // namespace
