// The work of one tick of the position timer on the window's side: the playhead moved and
// repainted, the clock set and repainted. The goal is well under a millisecond per tick. Run
// with QT_SCALE_FACTOR=2 for a high-density screen.

#include "window/TimeView.h"
#include "window/TimerBarBack.h"
#include "window/TimerBarSlider.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

// The transport strip at a typical window width.
struct Strip
{
    Strip()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(&clock);
        auto *backLayout = new QHBoxLayout(&back);
        backLayout->setContentsMargins(8, 2, 8, 2);
        backLayout->addWidget(&playhead);
        layout->addWidget(&back);
        window.resize(900, window.sizeHint().height());
        window.show();
        playhead.setLit(true);
        QApplication::processEvents();
    }
    QWidget window;
    TimeView clock;
    TimerBarBack back;
    TimerBarSlider playhead;
};

// Each step moves by a hundredth of a second of a one-hour recording.
constexpr double kStepPercent = 100.0 * 0.01 / 3600.0;

void BM_PlayheadTick(benchmark::State &state)
{
    Strip strip;
    double percent = 0.0;
    for (auto _ : state) {
        percent = percent + kStepPercent * 300 > 100.0 ? 0.0 : percent + kStepPercent * 300;
        strip.playhead.setValue(percent);
        strip.playhead.repaint();
    }
}
BENCHMARK(BM_PlayheadTick)->Unit(benchmark::kMicrosecond);

void BM_ClockTick(benchmark::State &state)
{
    Strip strip;
    double seconds = 0.0;
    for (auto _ : state) {
        seconds += 1.0; // the clock shows whole seconds: every tick a new text
        strip.clock.setObjectValue(lq::clockEpoch().addingTimeInterval(seconds));
        strip.clock.repaint();
    }
}
BENCHMARK(BM_ClockTick)->Unit(benchmark::kMicrosecond);

void BM_PositionTimerTick(benchmark::State &state)
{
    Strip strip;
    double seconds = 0.0;
    for (auto _ : state) {
        seconds += 1.0;
        strip.playhead.setValue(std::fmod(seconds, 3600.0) / 36.0);
        strip.clock.setObjectValue(lq::clockEpoch().addingTimeInterval(seconds));
        strip.playhead.repaint();
        strip.clock.repaint();
    }
}
BENCHMARK(BM_PositionTimerTick)->Unit(benchmark::kMicrosecond);

} // namespace
