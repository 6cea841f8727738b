// Turning to a slide of a 200-page PDF, from the turn until the slide is drawn in a sidebar-sized
// view and a promoted window's view: the goal is 50 ms when the page was drawn before and
// 150 ms the first time. The PDF is made at run time.

#include "support/TalkSlides.h"
#include "window/PdfView.h"
#include "window/SlidesPages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThreadPool>

#include <benchmark/benchmark.h>

namespace {

constexpr int kPages = 200;

// A sidebar's mini view and a promoted window's view of one document.
struct Views
{
    explicit Views(const QString &path)
    {
        mini.resize(230, 172);
        window.resize(800, 600);
        reopen(path);
        mini.show();
        window.show();
        QApplication::processEvents();
    }

    // No page is still being drawn when the application goes.
    ~Views() { QThreadPool::globalInstance()->waitForDone(); }

    void reopen(const QString &path)
    {
        lq::Error error;
        pages = SlidesPages::open(path, &error);
        mini.setDocument(pages);
        window.setDocument(pages);
    }

    // Turns both views and waits until both show the page drawn at their size.
    void turn(int page)
    {
        mini.goToPage(page);
        window.goToPage(page);
        while (!mini.pageReady() || !window.pageReady())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }

    std::shared_ptr<SlidesPages> pages;
    PdfView mini;
    PdfView window;
};

void BM_TurnToSlideDrawnBefore(benchmark::State &state)
{
    QTemporaryDir folder;
    Views views(bench::writeTalkSlides(folder, kPages));
    for (int page = 0; page < kPages; ++page)
        views.turn(page);
    int page = 0;
    for (auto _ : state) {
        page = (page + 7) % kPages;
        views.turn(page);
    }
}
BENCHMARK(BM_TurnToSlideDrawnBefore)->Unit(benchmark::kMillisecond);

void BM_TurnToSlideFirstTime(benchmark::State &state)
{
    QTemporaryDir folder;
    const QString path = bench::writeTalkSlides(folder, kPages);
    Views views(path);
    int page = 0;
    for (auto _ : state) {
        page = (page + 1) % kPages;
        if (page == 0) {
            // Every page was drawn: start again with nothing cached.
            state.PauseTiming();
            views.reopen(path);
            views.turn(0);
            page = 1;
            state.ResumeTiming();
        }
        views.turn(page);
    }
}
BENCHMARK(BM_TurnToSlideFirstTime)->Unit(benchmark::kMillisecond);

} // namespace
