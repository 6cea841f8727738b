// Opening and editing a long note: 10^6 characters in 20,000 paragraphs laid into the text
// storage, read back, archived as "text" and "bmtext" and read again; one character replaced in
// the middle of the stored text, without and with a laid-out view of it.

#include "document/BMAttributedString.h"
#include "platform/text/TextArchive.h"
#include "platform/text/TextStorage.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QTextEdit>

#include <benchmark/benchmark.h>

namespace {

using namespace lq;

constexpr int kParagraphs = 20000;
constexpr int kParagraphLength = 50; // with its end: 20,000 x 50 = 10^6 characters

// Typed notes: mostly plain text, a bold word in each paragraph, every tenth paragraph a list
// item, every fiftieth highlighted.
const AttributedString &longNote()
{
    static const AttributedString note = [] {
        TextAttributes plain;
        plain.font = TextFont{QStringLiteral("Helvetica"), 12.0};
        TextAttributes bold = plain;
        bold.font = TextFont{QStringLiteral("Helvetica-Bold"), 12.0};
        TextParagraphStyle list = TextParagraphStyle::defaultStyle();
        list.textLists = {QStringLiteral("{disc}")};
        list.headIndent = 36.0;
        list.tabStops = {11.0, 36.0};
        AttributedString text;
        const QString words = QStringLiteral("the quick brown fox jumps over the lazy dog again ");
        for (int i = 0; i < kParagraphs; ++i) {
            TextAttributes paragraph = plain;
            TextAttributes strong = bold;
            if (i % 10 == 0)
                paragraph.paragraphStyle = strong.paragraphStyle = list;
            if (i % 50 == 0)
                paragraph.backgroundColor = strong.backgroundColor = TextColor::rgb(1, 1, 0, 1);
            text.append(words.left(10), paragraph);
            text.append(words.mid(10, 5), strong);
            text.append(words.mid(15, kParagraphLength - 16) + u'\n', paragraph);
        }
        return text;
    }();
    return note;
}

void BM_LayIntoStorage(benchmark::State &state)
{
    for (auto _ : state) {
        TextStorage storage;
        storage.setAttributedString(longNote());
        benchmark::DoNotOptimize(storage.length());
    }
}
BENCHMARK(BM_LayIntoStorage)->Unit(benchmark::kMillisecond);

void BM_ReadFromStorage(benchmark::State &state)
{
    TextStorage storage;
    storage.setAttributedString(longNote());
    for (auto _ : state)
        benchmark::DoNotOptimize(storage.attributedString().length());
}
BENCHMARK(BM_ReadFromStorage)->Unit(benchmark::kMillisecond);

// The part of a read a save takes on the main thread.
void BM_CopyFromStorage(benchmark::State &state)
{
    TextStorage storage;
    storage.setAttributedString(longNote());
    for (auto _ : state)
        benchmark::DoNotOptimize(storage.copyOf({0, storage.length()}));
}
BENCHMARK(BM_CopyFromStorage)->Unit(benchmark::kMillisecond);

void BM_ArchiveText(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(archivedText(longNote()).size());
}
BENCHMARK(BM_ArchiveText)->Unit(benchmark::kMillisecond);

void BM_UnarchiveText(benchmark::State &state)
{
    const QByteArray data = archivedText(longNote());
    for (auto _ : state)
        benchmark::DoNotOptimize(unarchivedText(data)->length());
}
BENCHMARK(BM_UnarchiveText)->Unit(benchmark::kMillisecond);

void BM_ArchivePortableText(benchmark::State &state)
{
    for (auto _ : state) {
        const auto portable =
            BMAttributedString::BMAttributedStringWithMacAttributedString(longNote(), {}, 0);
        benchmark::DoNotOptimize(portable->archivedData().size());
    }
}
BENCHMARK(BM_ArchivePortableText)->Unit(benchmark::kMillisecond);

void BM_UnarchivePortableText(benchmark::State &state)
{
    const QByteArray data =
        BMAttributedString::BMAttributedStringWithMacAttributedString(longNote(), {}, 0)
            ->archivedData();
    for (auto _ : state) {
        const auto portable = BMAttributedString::unarchived(data);
        benchmark::DoNotOptimize(portable->macAttributedStringWithImageDir({}).length());
    }
}
BENCHMARK(BM_UnarchivePortableText)->Unit(benchmark::kMillisecond);

void replaceInTheMiddle(benchmark::State &state, TextStorage &storage)
{
    const qsizetype middle = storage.length() / 2 + 20;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        storage.replaceCharacters({middle, 1}, flip ? QStringLiteral("X") : QStringLiteral("o"));
    }
}

void BM_ReplaceOneCharacter(benchmark::State &state)
{
    TextStorage storage;
    storage.setAttributedString(longNote());
    replaceInTheMiddle(state, storage);
}
BENCHMARK(BM_ReplaceOneCharacter)->Unit(benchmark::kMicrosecond);

void BM_ReplaceOneCharacterShown(benchmark::State &state)
{
    TextStorage storage;
    storage.setAttributedString(longNote());
    QTextEdit view;
    view.setDocument(storage.document());
    view.resize(800, 600);
    view.show();
    QApplication::processEvents();
    // The whole text laid out, as after scrolling through it once.
    benchmark::DoNotOptimize(storage.document()->documentLayout()->documentSize());
    replaceInTheMiddle(state, storage);
}
BENCHMARK(BM_ReplaceOneCharacterShown)->Unit(benchmark::kMicrosecond);

} // namespace
