// Saving and opening a long note: 10^6 characters in 20,000 paragraphs, 10^6 time stamps and
// 1 GB of media that the save finds already in the package. The save is measured against
// linking a copy of the same package with "cp -al", and by how long it keeps the main thread
// from its events; the open decodes every archive and lays the text into the text document, and
// as the user has it, goes on to the note's window taking a key and painting it.

#include "document/MyDocument.h"
#include "document/WrenTextView.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "model/WrenTimerSession.h"
#include "platform/foundation/Log.h"
#include "preferences/PrefsController.h"
#include "support/FakeCaptureDevices.h"
#include "support/FakeEngineFactory.h"
#include "support/FakeUpdater.h"
#include "support/NoteWindowBench.h"
#include "support/TestUserDefaults.h"
#include "window/DocumentWindow.h"
#include "window/RecordingController.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace {

using namespace lq;

constexpr int kParagraphs = 20000;
constexpr int kParagraphLength = 50; // with its end: 10^6 characters
constexpr int64_t kStamps = 1000000;
constexpr int kMediaFiles = 4;
constexpr off_t kMediaFileSize = off_t(256) << 20; // 4 x 256 MB

AttributedString longText()
{
    TextAttributes plain;
    plain.font = TextFont{QStringLiteral("Helvetica"), 12.0};
    TextAttributes bold = plain;
    bold.font = TextFont{QStringLiteral("Helvetica-Bold"), 12.0};
    const QString words = QStringLiteral("the quick brown fox jumps over the lazy dog again ");
    AttributedString text;
    for (int i = 0; i < kParagraphs; ++i) {
        text.append(words.left(10), i % 10 == 0 ? bold : plain);
        text.append(words.mid(10, kParagraphLength - 11) + u'\n', plain);
    }
    return text;
}

bool allocate(const QString &path, off_t size)
{
    const int file =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool done = file >= 0 && ::posix_fallocate(file, 0, size) == 0;
    if (file >= 0)
        ::close(file);
    return done;
}

// The note, saved twice so that its media live in the package only.
struct Note
{
    QTemporaryDir folder{QDir::tempPath() + QStringLiteral("/lq-package-bench-XXXXXX")};
    MyDocument document;
    QString package = folder.filePath(QStringLiteral("long.lumaquill"));

    Note()
    {
        const QString temp = folder.filePath(QStringLiteral("temp"));
        QDir().mkpath(temp);
        document.tempRecordingDir = temp;
        WrenRecording &recording = document.recordingObject();
        recording.setTempDir(temp);
        document.textStorage().setAttributedString(longText());
        for (int i = 0; i < kMediaFiles; ++i) {
            auto session = std::make_shared<WrenTimerSession>();
            session->startSession();
            session->stopSession();
            session->setHasAudio(true);
            recording.addSession(session);
            const QString name = QStringLiteral("recording-%1.0.mov").arg(i);
            if (!allocate(QDir(temp).filePath(name), kMediaFileSize))
                qFatal("cannot make the media files");
            recording.setRecordingFiles(QStringList{name}, i);
        }
        for (int64_t i = 0; i < kStamps; ++i)
            recording.events().addEvent(
                WrenTimeStamp::initWithKey(uint32_t(i), int32_t(i % kMediaFiles), double(i) * 0.1),
                false);
        Error error;
        if (!document.saveToUrl(package, SaveOperation::SaveAs, &error) || !document.save(&error))
            qFatal("cannot save: %s", qPrintable(error.localizedDescription()));
    }
};

// Made in main, after the application object, and gone before it.
Note *g_note = nullptr;

Note &note()
{
    return *g_note;
}

void BM_SavePackage(benchmark::State &state)
{
    Note &shared = note();
    for (auto _ : state) {
        if (!shared.document.save(nullptr))
            state.SkipWithError("the save failed");
    }
}
BENCHMARK(BM_SavePackage)->Unit(benchmark::kMillisecond)->Iterations(5);

// The save as the window sees it: the time is the whole save; "blocked_ms" the longest time the
// event loop did not turn meanwhile (a timer ticks every millisecond), "begun_ms" the part
// before the save's call returned.
void BM_SaveWhileTheEventLoopTurns(benchmark::State &state)
{
    Note &shared = note();
    double blocked = 0;
    double begun = 0;
    for (auto _ : state) {
        QEventLoop loop;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QElapsedTimer sinceTick;
        qint64 longest = 0;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, sinceTick.nsecsElapsed());
            sinceTick.restart();
        });
        QElapsedTimer whole;
        whole.start();
        bool saved = false;
        shared.document.save([&](bool ok, const Error &) {
            saved = ok;
            loop.quit();
        });
        const qint64 call = whole.nsecsElapsed();
        sinceTick.start();
        tick.start(1);
        loop.exec();
        state.SetIterationTime(double(whole.nsecsElapsed()) / 1e9);
        if (!saved)
            state.SkipWithError("the save failed");
        blocked = std::max(blocked, double(std::max(longest, call)) / 1e6);
        begun = std::max(begun, double(call) / 1e6);
    }
    state.counters["blocked_ms"] = blocked;
    state.counters["begun_ms"] = begun;
}
BENCHMARK(BM_SaveWhileTheEventLoopTurns)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

void BM_LinkedCopyOfPackage(benchmark::State &state)
{
    Note &shared = note();
    const QString copy = shared.folder.filePath(QStringLiteral("copy.lumaquill"));
    for (auto _ : state) {
        QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-al"), shared.package, copy});
        state.PauseTiming();
        QDir(copy).removeRecursively();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LinkedCopyOfPackage)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_OpenPackage(benchmark::State &state)
{
    Note &shared = note();
    for (auto _ : state) {
        MyDocument opened;
        if (!opened.openUrl(shared.package, nullptr))
            state.SkipWithError("the open failed");
        benchmark::DoNotOptimize(opened.textStorage().length());
    }
}
BENCHMARK(BM_OpenPackage)->Unit(benchmark::kMillisecond)->Iterations(3);

// From the package to its note's window with a key typed into the notes and painted.
void BM_OpenPackageIntoWindow(benchmark::State &state)
{
    constexpr qint64 kPaintLimitNs = 10'000'000'000;
    useTemporaryFolders();
    lq::test::TestUserDefaults defaults;
    lq::test::FakeCaptureDevices devices;
    lq::test::FakeUpdater updater;
    lq::test::FakeEngineFactory engines;
    PrefsController preferences(PrefsController::Services{&devices, &updater});
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        auto opened = std::make_unique<MyDocument>();
        if (!opened->openUrl(note().package, nullptr)) {
            state.SkipWithError("the open failed");
            return;
        }
        auto made = std::make_unique<RecordingController>(*opened, preferences);
        RecordingController *controller = made.get();
        opened->addWindowController(std::move(made));
        controller->window().show();
        WrenTextView *view = opened->textView();
        PaintWatch watch(view->viewport());
        QTest::keyClick(view, Qt::Key_A);
        if (!waitForPaint(watch, clock, 0, kPaintLimitNs))
            state.SkipWithError("the key was not painted");
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        opened->close();
    }
}
BENCHMARK(BM_OpenPackageIntoWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    lq::setLogSink([](const QString &) {});
    benchmark::Initialize(&argc, argv);
    {
        Note shared;
        g_note = &shared;
        benchmark::RunSpecifiedBenchmarks();
        g_note = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
