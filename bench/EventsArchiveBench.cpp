// Encoding and decoding the archive of an event store, and its size per stamp.

#include "RecordedStore.h"
#include "model/ModelArchiveClasses.h"
#include "model/WrenEvents.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <benchmark/benchmark.h>

namespace {

QByteArray encode(const std::shared_ptr<WrenEvents> &store)
{
    return lq::KeyedArchiver::archivedData(lq::ArchiveValue::object(store));
}

void BM_EncodeStore(benchmark::State &state)
{
    const std::shared_ptr<WrenEvents> store = recordedStore(state.range(0));
    qsizetype bytes = 0;
    for (auto _ : state)
        bytes = encode(store).size();
    state.counters["bytes_per_stamp"] =
        static_cast<double>(bytes) / static_cast<double>(state.range(0));
}

void BM_DecodeStore(benchmark::State &state)
{
    registerModelArchiveClasses();
    const QByteArray bytes = encode(recordedStore(state.range(0)));
    for (auto _ : state) {
        lq::Error error;
        std::shared_ptr<WrenEvents> decoded = lq::KeyedUnarchiver::unarchiveObject<WrenEvents>(
            bytes, registerModelArchiveClasses(), &error);
        if (!decoded || decoded->count() != static_cast<size_t>(state.range(0))) {
            state.SkipWithError(qPrintable(error.localizedDescription()));
            break;
        }
        state.PauseTiming();
        decoded.reset();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_EncodeStore)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeStore)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
