// Playback underlining at four times the speed of a note stamped every 50 ms (a highlight every
// 12.5 ms): from the highlight call to the view's marks set, in notes of 2,000 and 20,000
// paragraphs, called on the main thread and from another thread (which waits for the main
// thread). Runs offscreen. Reports the 50th and 99th percentile of one highlight in
// milliseconds, and the time the view then takes to paint.

#include "document/MyDocument.h"
#include "document/WrenTextView.h"
#include "platform/foundation/MainThread.h"
#include "platform/text/TextStorage.h"
#include "support/NoteText.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Calls highlightChar on a thread of its own, one index at a time, and tells how long it took.
class TimerThread
{
public:
    explicit TimerThread(MyDocument &document) : m_thread([this, &document] { run(document); }) {}
    ~TimerThread()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    // Keeps the main thread's events turning until the call returned.
    double highlight(uint32_t index)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_index = index;
            m_done = false;
            m_pending = true;
        }
        m_wake.notify_one();
        lq::runEventLoopUntil([this] { return m_done.load(); }, std::chrono::seconds(10));
        return m_milliseconds.load();
    }

private:
    void run(MyDocument &document)
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_pending || m_stop; });
            if (m_stop)
                return;
            m_pending = false;
            const uint32_t index = m_index;
            lock.unlock();
            const auto start = Clock::now();
            document.highlightChar(index);
            m_milliseconds =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            m_done = true;
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    uint32_t m_index = 0;
    bool m_pending = false;
    bool m_stop = false;
    std::atomic<bool> m_done{false};
    std::atomic<double> m_milliseconds{0.0};
    std::thread m_thread;
};

void BM_HighlightWhilePlaying(benchmark::State &state)
{
    const int paragraphs = int(state.range(0));
    const bool fromAnotherThread = state.range(1) != 0;
    MyDocument document;
    WrenTextView view(document.textStorage());
    document.setTextView(&view);
    view.replaceCharacters(lq::TextRange{0, 0}, noteText(paragraphs));
    view.resize(800, 600);
    view.show();
    QCoreApplication::processEvents();
    document.playing = true;
    std::unique_ptr<TimerThread> timer;
    if (fromAnotherThread)
        timer = std::make_unique<TimerThread>(document);

    const QString text = document.textStorage().string();
    qsizetype index = text.size() / 2;
    std::vector<double> times, paints;
    for (auto _ : state) {
        // The next character playback reaches (spaces are stamped too).
        index = (index + 1) % text.size();
        double milliseconds = 0.0;
        if (timer) {
            milliseconds = timer->highlight(uint32_t(index));
        } else {
            const auto start = Clock::now();
            document.highlightChar(uint32_t(index));
            milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
        const auto painting = Clock::now();
        view.viewport()->repaint();
        paints.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - painting).count());
        times.push_back(milliseconds);
        state.SetIterationTime(milliseconds / 1000.0);
    }
    const auto percentile = [](std::vector<double> &list, double p) {
        std::sort(list.begin(), list.end());
        return list[std::min(list.size() - 1, size_t(p * double(list.size())))];
    };
    state.counters["p50_ms"] = percentile(times, 0.50);
    state.counters["p99_ms"] = percentile(times, 0.99);
    state.counters["paint_p99_ms"] = percentile(paints, 0.99);
}

BENCHMARK(BM_HighlightWhilePlaying)
    ->ArgsProduct({{2000, 20000}, {0, 1}})
    ->Iterations(400)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
