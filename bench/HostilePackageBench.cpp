// Opening hostile notes: each kind should open or be refused within 2 s and 200 MB. A short
// note is saved once, then one member is replaced per kind. The counter "peak_MB" is how far the
// process's resident size rose above where it stood before the open (its high-water mark is
// reset first).

#include "document/MyDocument.h"
#include "model/WrenTimeStamp.h"
#include "support/HostileArchives.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <iterator>

namespace {

using namespace lq;

struct Kind
{
    const char *name;
    const char *member;
    std::function<bool(const QString &path)> make; // replaces the member at path
};

const Kind kKinds[] = {
    {"whole note", "", [](const QString &) { return true; }},
    {"meta of 100 GiB", "meta",
     [](const QString &path) { return test::makeSparseFile(path, qint64(100) << 30); }},
    {"meta of 2 GB", "meta",
     [](const QString &path) { return test::makeSparseFile(path, qint64(2) << 30); }},
    {"recording of 100 GiB", "recording",
     [](const QString &path) { return test::makeSparseFile(path, qint64(100) << 30); }},
    {"text holding an event store", "text",
     [](const QString &path) {
         QFile file(path);
         const QByteArray bytes = test::eventsArchive(
             {test::timeStampObject(WrenTimeStampTypeKey, 0, 1.0, (1u << 24) - 1)});
         return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                file.write(bytes) == bytes.size();
     }},
};

double statusMegabytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0.0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').front().toDouble() / 1024.0;
    }
    return 0.0;
}

void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

void BM_OpenHostilePackage(benchmark::State &state)
{
    const Kind &kind = kKinds[state.range(0)];
    state.SetLabel(kind.name);
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/lq-hostile-bench-XXXXXX"));
    const QString package = folder.filePath(QStringLiteral("hostile.lumaquill"));
    {
        MyDocument note;
        note.tempRecordingDir = folder.path();
        note.textStorage().setAttributedString(AttributedString(QStringLiteral("Notes.")));
        if (!note.saveToUrl(package, SaveOperation::SaveAs, nullptr)) {
            state.SkipWithError("the note could not be saved");
            return;
        }
    }
    const QString member = package + QLatin1Char('/') + QLatin1String(kind.member);
    if (*kind.member && (!QFile::remove(member) || !kind.make(member))) {
        state.SkipWithError("the member could not be replaced");
        return;
    }
    double peak = 0.0;
    for (auto _ : state) {
        const double before = statusMegabytes("VmRSS:");
        resetPeakMemory();
        MyDocument opened;
        benchmark::DoNotOptimize(opened.openUrl(package, nullptr));
        peak = std::max(peak, statusMegabytes("VmHWM:") - before);
    }
    state.counters["peak_MB"] = peak;
}
BENCHMARK(BM_OpenHostilePackage)
    ->DenseRange(0, static_cast<int>(std::size(kKinds)) - 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
