// Finding text in the slides of a 200-page PDF: from typing in the find window until
// the first hit is shown (goal: 200 ms), with the hit near the end of the talk; and a whole
// search, during which the main thread must stay free for typing (the longest pause between its
// event-loop turns is reported). The PDF is made at run time.

#include "document/MyDocument.h"
#include "model/WrenRecording.h"
#include "support/TalkSlides.h"
#include "window/FindSlidesController.h"
#include "window/PdfView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace {

constexpr int kPages = 200;

// A note holding the talk's slides, searched in a shown find window.
struct FindWindow
{
    FindWindow()
    {
        note.tempRecordingDir = folder.path();
        note.recordingObject().setTempDir(folder.path());
        note.recordingObject().addSlides(bench::writeTalkSlides(folder, kPages));
        find.resize(480, 400);
        find.showWindow(&note);
        QApplication::processEvents();
    }

    ~FindWindow() { QThreadPool::globalInstance()->waitForDone(); }

    // Types text over the field's text.
    void type(const QString &text)
    {
        find.findTextField->selectAll();
        QTest::keyClicks(find.findTextField, text);
    }

    template <class Done>
    void waitUntil(Done done)
    {
        while (!done())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }

    QTemporaryDir folder;
    MyDocument note;
    FindSlidesController find{[] { return nullptr; }};
};

void BM_FirstHitShown(benchmark::State &state)
{
    FindWindow window;
    int round = 0;
    for (auto _ : state) {
        // A text of its own each round, so nothing is reused; the hit is on slide 190 or later.
        const int slide = 190 + round++ % 10;
        window.type(QStringLiteral("Slide %1, point").arg(slide));
        window.waitUntil([&] { return window.find.slidesView->highlight().page == slide - 1; });
    }
}
BENCHMARK(BM_FirstHitShown)->Unit(benchmark::kMillisecond);

void BM_WholeSearchLeavesTheMainThreadFree(benchmark::State &state)
{
    FindWindow window;
    QElapsedTimer sinceTurn;
    qint64 longestPause = 0;
    QTimer ticks;
    ticks.setInterval(1);
    QObject::connect(&ticks, &QTimer::timeout,
                     [&] { longestPause = std::max(longestPause, sinceTurn.restart()); });
    int round = 0;
    for (auto _ : state) {
        // Found on no page: every page is searched.
        window.type(QStringLiteral("absent %1").arg(round++));
        sinceTurn.start();
        ticks.start();
        window.waitUntil([&] { return window.find.foundTextField->isVisible(); });
        ticks.stop();
    }
    state.counters["longest_main_thread_pause_ms"] = static_cast<double>(longestPause);
}
BENCHMARK(BM_WholeSearchLeavesTheMainThreadFree)->Unit(benchmark::kMillisecond);

} // namespace
