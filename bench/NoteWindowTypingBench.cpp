// Typing into the real note window: the note, its window controller and window as the program
// makes them (fake capture devices and engines), a text whose every character is stamped, the
// caret in the middle. Each key goes through the application to the focused text view and is
// timed to the end of the next paint of the view's viewport (the paint the key asked for).
// Reports the 50th and 99th percentile per key in milliseconds, the edit alone (key handled,
// before the paint), and the keys not painted within half a second.
//
// Arguments: the note's shape (paragraphs, one long paragraph, or 2,000 list items); how keys are
// stamped: idle (the note's own stamping with no recording), while recording (a fake engine's
// clock), or not at all (the view without its note as delegate, so the figure is the view and its
// layout alone); and whether spelling is checked as the program's default has it.

#include "document/MyDocument.h"
#include "document/WrenTextView.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "platform/foundation/UndoManager.h"
#include "platform/text/NotesTextLayout.h"
#include "platform/text/TextLists.h"
#include "platform/text/TextStorage.h"
#include "platform/ui/ImageButton.h"
#include "preferences/PrefsController.h"
#include "support/FakeCaptureDevices.h"
#include "support/FakeEngineFactory.h"
#include "support/FakeUpdater.h"
#include "support/NoteText.h"
#include "support/NoteWindowBench.h"
#include "support/TestUserDefaults.h"
#include "window/DocumentWindow.h"
#include "window/RecordingController.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace {

enum Shape { Paragraphs2000, Paragraphs20000, OneParagraph100k, OneParagraph1M, List2000 };
enum Stamping { Idle, Recording, Unstamped };

constexpr double kSecondsPerCharacter = 0.05;
constexpr qint64 kPaintLimitNs = 500'000'000;

QString textOf(Shape shape)
{
    switch (shape) {
    case Paragraphs2000:
        return noteText(2000);
    case Paragraphs20000:
        return noteText(20000);
    case OneParagraph100k:
        return longParagraph(100'000);
    case OneParagraph1M:
        return longParagraph(1'000'000);
    case List2000:
        return listText(2000);
    }
    return {};
}

double percentile(std::vector<double> list, double p)
{
    if (list.empty())
        return 0.0;
    std::sort(list.begin(), list.end());
    return list[std::min(list.size() - 1, size_t(p * double(list.size())))];
}

void BM_TypeInNoteWindow(benchmark::State &state)
{
    useTemporaryFolders();
    const auto shape = Shape(state.range(0));
    const auto stamping = Stamping(state.range(1));
    lq::test::TestUserDefaults defaults;
    defaults->setBool(QStringLiteral("checkSpellingByDefault"), state.range(2) != 0);
    lq::test::FakeCaptureDevices devices;
    lq::test::FakeUpdater updater;
    lq::test::FakeEngineFactory engines;
    PrefsController preferences(PrefsController::Services{&devices, &updater});
    std::unique_ptr<MyDocument> document = MyDocument::create();
    auto made = std::make_unique<RecordingController>(*document, preferences);
    RecordingController *controller = made.get();
    document->addWindowController(std::move(made));
    DocumentWindow &window = controller->window();
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) {
        state.SkipWithError("The note window did not become active.");
        return;
    }
    WrenTextView *view = document->textView();
    WrenRecording &recording = document->recordingObject();

    double moment = 1.0;
    if (stamping == Recording) {
        controller->setAudioState(1);
        controller->setVideoState(0);
        engines.lastRecordingEngine->script.nowInterval = moment;
        window.recordButton->click();
        if (!document->recording) {
            state.SkipWithError("The note did not start recording.");
            return;
        }
    }
    // The note's text, every character stamped in the first session, as if typed while
    // recording; loaded as the document's own change, outside undo.
    const QString text = textOf(shape);
    lq::UndoManager *undo = document->undoManager();
    undo->disableUndoRegistration();
    if (shape == List2000) {
        lq::TextAttributes item;
        item.paragraphStyle =
            lq::text_lists::listItemStyle(std::nullopt, lq::text_lists::kBulletFormat);
        view->replaceCharacters(lq::TextRange{0, 0}, lq::AttributedString(text, item));
    } else {
        view->replaceCharacters(lq::TextRange{0, 0}, text);
    }
    WrenEvents::StampList stamps;
    stamps.reserve(size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i)
        stamps.push_back(
            WrenTimeStamp::initWithKey(uint32_t(i), 0, double(i) * kSecondsPerCharacter));
    recording.events().replaceCharacters(0, 0, stamps);
    undo->enableUndoRegistration();
    moment += double(text.size()) * kSecondsPerCharacter;
    if (stamping == Unstamped)
        view->setDelegate(nullptr);

    view->setFocus();
    view->setSelectedRange({text.size() / 2, 0});
    view->ensureCursorVisible();
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    // The paragraphs not shown are laid out while the loop is idle: all of them before the keys.
    const auto *layout =
        qobject_cast<const lq::NotesTextLayout *>(view->document()->documentLayout());
    while (layout && layout->isLayingOut())
        QCoreApplication::processEvents();
    PaintWatch watch(view->viewport());

    QElapsedTimer clock;
    clock.start();
    std::vector<double> times, edits;
    int unpainted = 0;
    for (auto _ : state) {
        if (stamping == Recording)
            engines.lastRecordingEngine->script.nowInterval = moment += kSecondsPerCharacter;
        watch.painted = false;
        const qint64 start = clock.nsecsElapsed();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A);
        const qint64 edited = clock.nsecsElapsed();
        if (waitForPaint(watch, clock, start, kPaintLimitNs))
            times.push_back(double(clock.nsecsElapsed() - start) / 1e6);
        else
            ++unpainted;
        edits.push_back(double(edited - start) / 1e6);
        // The pass ends (the undo step closes) before the next key.
        QCoreApplication::processEvents();
    }
    if (stamping == Recording)
        window.recordButton->click();
    state.counters["p50_ms"] = percentile(times, 0.50);
    state.counters["p99_ms"] = percentile(times, 0.99);
    state.counters["edit_p50_ms"] = percentile(edits, 0.50);
    state.counters["edit_p99_ms"] = percentile(edits, 0.99);
    state.counters["unpainted"] = unpainted;
    if (view->storage().length() != text.size() + qsizetype(state.iterations()))
        state.SkipWithError("Not every key reached the text.");
}

BENCHMARK(BM_TypeInNoteWindow)
    ->ArgsProduct({{Paragraphs2000, Paragraphs20000, OneParagraph100k, List2000},
                   {Idle, Recording, Unstamped},
                   {0}})
    ->Args({Paragraphs2000, Recording, 1})
    ->Args({Paragraphs20000, Recording, 1})
    ->Args({OneParagraph100k, Recording, 1})
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeInNoteWindow)
    ->ArgsProduct({{OneParagraph1M}, {Idle, Recording, Unstamped}, {0}})
    ->Args({OneParagraph1M, Recording, 1})
    ->Iterations(40)
    ->Unit(benchmark::kMillisecond);

} // namespace
