// Exporting a long note's text: 10^6 characters with 10^4 runs of attributes (fonts, colours,
// underlines, links, list paragraphs, non-ASCII text), written as RTF and as plain text through
// the note's own writers, as the export dialog runs them.

#include "document/MyDocument.h"
#include "platform/foundation/Error.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace lq;

constexpr int kRuns = 10000;
constexpr int kRunLength = 100; // 10^4 x 100 = 10^6 characters

AttributedString longNote()
{
    TextAttributes plain;
    plain.font = TextFont{QStringLiteral("Helvetica"), 12.0};
    TextParagraphStyle list = TextParagraphStyle::defaultStyle();
    list.textLists = {QStringLiteral("{disc}")};
    list.headIndent = 36.0;
    const QString words =
        QStringLiteral("Café au lait, 中文 and a few plain words to fill the line up {with} \\ ");
    AttributedString text;
    for (int i = 0; i < kRuns; ++i) {
        TextAttributes a = plain;
        switch (i % 5) {
        case 1:
            a.font = TextFont{QStringLiteral("Helvetica-Bold"), 14.0};
            break;
        case 2:
            a.foregroundColor = TextColor::rgb(0.8, 0.1, 0.1);
            a.underlineStyle = 1;
            break;
        case 3:
            a.backgroundColor = TextColor::rgb(1.0, 1.0, 0.0);
            a.link = QStringLiteral("https://example.org/%1").arg(i);
            break;
        case 4:
            a.paragraphStyle = list;
            break;
        default:
            break;
        }
        QString piece = words.repeated(2).left(kRunLength - 1);
        piece += i % 4 == 3 ? u'\n' : u' ';
        text.append(piece, a);
    }
    return text;
}

using Writer = bool (MyDocument::*)(const QString &, Error *);

void exportNote(benchmark::State &state, Writer writer, const char *name)
{
    MyDocument document;
    document.textStorage().setAttributedString(longNote());
    QTemporaryDir folder;
    const QString path = folder.filePath(QLatin1String(name));
    for (auto _ : state) {
        Error error;
        if (!(document.*writer)(path, &error))
            state.SkipWithError(error.localizedDescription().toUtf8().constData());
    }
}

void BM_ExportRtf(benchmark::State &state)
{
    exportNote(state, &MyDocument::exportToRTF, "note.rtf");
}
BENCHMARK(BM_ExportRtf)->Unit(benchmark::kMillisecond);

void BM_ExportPlainText(benchmark::State &state)
{
    exportNote(state, &MyDocument::exportToPlainTextFile, "note.txt");
}
BENCHMARK(BM_ExportPlainText)->Unit(benchmark::kMillisecond);

} // namespace
