// The shared page of a long note: 10^5 characters in 1,000 paragraphs, each with its stamp.
// Building the page, and opening it in headless Chromium (when installed) up to its load event;
// the goal is an opening under 2 s.

#include "document/LumaHTMLExporter.h"
#include "model/WrenEvents.h"
#include "platform/foundation/Bundle.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kParagraphs = 1000;
constexpr int kParagraphLength = 100; // with its end: 10^5 characters

struct LongNote
{
    LongNote()
    {
        const QString words = QStringLiteral("the quick brown fox jumps over the lazy dog ");
        QString text;
        for (int i = 0; i < kParagraphs; ++i)
            text += words.repeated(3).left(kParagraphLength - 1) + QLatin1Char('\n');
        for (qsizetype i = 0; i < text.size(); ++i)
            events.insertEvent(WrenTimeStamp::initWithKey(uint32_t(i), 0, double(i) * 0.1), false);
        exporter.inputString = lq::AttributedString(text);
        exporter.inputEvents = &events;
        exporter.hasAudio = true;
    }
    // The page with the player's files beside it, as the export leaves it.
    bool write(const QString &folder)
    {
        lq::Error error;
        if (!exporter.exportToFile(folder, &error))
            return false;
        const QDir player(lq::Bundle::resourcePath(QStringLiteral("web/webplayer")));
        for (const QString &name : player.entryList(QDir::Files))
            QFile::copy(player.filePath(name), QDir(folder).filePath(name));
        return true;
    }

    WrenEvents events;
    LumaHTMLExporter exporter;
};

void BM_BuildPage(benchmark::State &state)
{
    LongNote note;
    QTemporaryDir root;
    for (auto _ : state) {
        if (!note.write(root.filePath(QStringLiteral("web"))))
            state.SkipWithError("the page was not written");
    }
    state.counters["page MB"] =
        double(QFile(root.filePath(QStringLiteral("web/index.html"))).size()) / 1e6;
}
BENCHMARK(BM_BuildPage)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OpenPageInBrowser(benchmark::State &state)
{
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    LongNote note;
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("web"));
    if (chromium.isEmpty() || !note.write(folder)) {
        state.SkipWithError("chromium is not installed");
        return;
    }
    QFile expected(root.filePath(QStringLiteral("expected.json")));
    expected.open(QIODevice::WriteOnly);
    expected.write("{}");
    expected.close();
    static const QRegularExpression opened(QStringLiteral("page opened in ([0-9.]+) s"));
    for (auto _ : state) {
        QProcess check;
        check.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral(LQ_SOURCE_DIR "/tests/document/web_page_check.py"), chromium,
                     QDir(folder).filePath(QStringLiteral("index.html")), expected.fileName(),
                     root.filePath(QStringLiteral("page.png"))});
        check.waitForFinished(120000);
        const QRegularExpressionMatch match = opened.match(QString::fromUtf8(check.readAll()));
        if (!match.hasMatch()) {
            state.SkipWithError("the page did not open");
            return;
        }
        state.SetIterationTime(match.captured(1).toDouble());
    }
}
BENCHMARK(BM_OpenPageInBrowser)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
