// Time to write the web export's slide images (full size and 320 wide) of a 100-page PDF.

#include "model/WrenSlides.h"

#include <QDir>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int kPageCount = 100;

// Slides as a presentation program prints them: 720 x 540 points, a title, bullet lines and
// a few shapes on each page.
bool writeSlides(const QString &path)
{
    QPdfWriter writer(path);
    writer.setResolution(72);
    writer.setPageMargins(QMarginsF());
    writer.setPageSize(
        QPageSize(QSize(720, 540), QPageSize::Point, QString(), QPageSize::ExactMatch));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    painter.setRenderHint(QPainter::Antialiasing);
    for (int page = 0; page < kPageCount; ++page) {
        if (page > 0)
            writer.newPage();
        painter.fillRect(QRect(0, 0, 720, 540), QColor(245, 245, 240));
        painter.setPen(QColor(20, 40, 90));
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 32, QFont::Bold));
        painter.drawText(QRect(40, 30, 640, 60), Qt::AlignLeft,
                         QStringLiteral("Lecture slide %1").arg(page + 1));
        painter.setFont(QFont(QStringLiteral("DejaVu Serif"), 18));
        for (int line = 0; line < 6; ++line)
            painter.drawText(
                QPoint(60, 140 + line * 40),
                QStringLiteral("• Point %1.%2: the quick brown fox jumps over the lazy dog")
                    .arg(page + 1)
                    .arg(line + 1));
        painter.setBrush(QColor(200, 80, 60, 160));
        painter.drawEllipse(QPointF(600, 430), 70 + page % 20, 50);
        painter.setBrush(QColor(60, 140, 200, 160));
        painter.drawRoundedRect(QRectF(420, 380, 140, 100), 12, 12);
    }
    return painter.end();
}

void exportSlidesImages(benchmark::State &state)
{
    QTemporaryDir folder;
    WrenSlides slides;
    slides.setPath(folder.filePath(QStringLiteral("slides.pdf")));
    if (!writeSlides(slides.path())) {
        state.SkipWithError("could not write the slides PDF");
        return;
    }
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString target = folder.filePath(QStringLiteral("export-%1").arg(run++));
        QDir().mkdir(target);
        state.ResumeTiming();
        if (!slides.exportSlidesImagesToPath(target)) {
            state.SkipWithError("export failed");
            return;
        }
        state.PauseTiming();
        QDir(target).removeRecursively();
        state.ResumeTiming();
    }
    state.counters["pages/s"] = benchmark::Counter(double(kPageCount) * double(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(exportSlidesImages)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    // Fonts and the PDF writer need a GUI application; no display is.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
