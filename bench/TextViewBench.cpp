// Typing into the notes text view while a session records: from the key press to the change
// checked and stamped, laid out and painted, in notes of 2,000 and 20,000 paragraphs. Runs
// offscreen. Reports the 50th and 99th percentile of one key press in milliseconds. The variants
// are remedies tried on the layout's cost (design metrics, word wrap only, a fixed left-to-right
// direction), typing with spell checking on, and typing in a note whose every paragraph is a list
// item.

#include "document/WrenTextView.h"
#include "platform/text/TextLists.h"
#include "platform/text/TextStorage.h"
#include "support/FakeTextViewDelegate.h"
#include "support/NoteText.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTextOption>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

enum Variant { Plain, DesignMetrics, WordWrapOnly, LeftToRight, SpellChecking, List };

void BM_TypeWhileRecording(benchmark::State &state)
{
    const int paragraphs = int(state.range(0));
    const auto variant = Variant(state.range(1));
    lq::TextStorage storage;
    lq::test::FakeTextViewDelegate delegate;
    WrenTextView view(storage);
    view.setDelegate(&delegate);
    if (variant == DesignMetrics)
        storage.document()->setUseDesignMetrics(true);
    if (variant == WordWrapOnly)
        view.setWordWrapMode(QTextOption::WordWrap);
    if (variant == LeftToRight) {
        // No paragraph's direction taken from its text.
        QTextOption option = storage.document()->defaultTextOption();
        option.setTextDirection(Qt::LeftToRight);
        storage.document()->setDefaultTextOption(option);
    }
    if (variant == List) {
        lq::TextAttributes item;
        item.paragraphStyle =
            lq::text_lists::listItemStyle(std::nullopt, lq::text_lists::kBulletFormat);
        view.replaceCharacters(lq::TextRange{0, 0},
                               lq::AttributedString(listText(paragraphs), item));
    } else {
        view.replaceCharacters(lq::TextRange{0, 0}, noteText(paragraphs));
    }
    // Every character already stamped, as in a note typed while recording.
    delegate.undo.disableUndoRegistration();
    WrenEvents::StampList stamps;
    for (qsizetype i = 0; i < storage.length(); ++i)
        stamps.push_back(WrenTimeStamp::initWithKey(uint32_t(i), 0, double(i) * 0.05));
    delegate.events.replaceCharacters(0, 0, stamps);
    delegate.moment = double(storage.length()) * 0.05;
    delegate.undo.enableUndoRegistration();

    if (variant == SpellChecking)
        view.setContinuousSpellCheckingEnabled(true);
    view.resize(800, 600);
    view.show();
    view.setSelectedRange({storage.length() / 2, 0});
    view.ensureCursorVisible();
    QCoreApplication::processEvents();
    view.viewport()->repaint();

    std::vector<double> times, edits;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QCoreApplication::sendEvent(&view, &press);
        const auto edited = std::chrono::steady_clock::now();
        view.viewport()->repaint();
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        edits.push_back(std::chrono::duration<double, std::milli>(edited - start).count());
        // The event loop's pass ends, closing the undo step.
        QCoreApplication::processEvents();
    }
    const auto percentile = [](std::vector<double> &list, double p) {
        std::sort(list.begin(), list.end());
        return list[std::min(list.size() - 1, size_t(p * double(list.size())))];
    };
    state.counters["p50_ms"] = percentile(times, 0.50);
    state.counters["p99_ms"] = percentile(times, 0.99);
    state.counters["max_ms"] = times.back();
    // The edit alone: check, stamp, storage change and the layout's own update.
    state.counters["edit_p99_ms"] = percentile(edits, 0.99);
}

BENCHMARK(BM_TypeWhileRecording)
    ->ArgsProduct({{2000, 20000},
                   {Plain, DesignMetrics, WordWrapOnly, LeftToRight, SpellChecking, List}})
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);

} // namespace
