// Event store operations on stores of 10^4 to 10^6 stamps, as recording and playback use them.

#include "RecordedStore.h"
#include "model/WrenEvents.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

namespace {

std::vector<double> randomOffsets(int64_t stamps, size_t count)
{
    std::mt19937 random(42);
    std::uniform_real_distribution<double> offset(0.0, static_cast<double>(stamps) * kStampSpacing);
    std::vector<double> offsets(count);
    for (double &o : offsets)
        o = offset(random);
    return offsets;
}

// Appends in batches; each batch is taken out again untimed, so that the store stays at its size.
void BM_AppendKeyStamp(benchmark::State &state)
{
    constexpr uint32_t kBatch = 1000;
    const std::shared_ptr<WrenEvents> store = recordedStore(state.range(0));
    const auto firstCharacter = static_cast<uint32_t>(store->keyEvents().size());
    const double offset = static_cast<double>(state.range(0)) * kStampSpacing;
    uint32_t appended = 0;
    for (auto _ : state) {
        store->addEvent(WrenTimeStamp::initWithKey(firstCharacter + appended, 0,
                                                   offset + appended * kStampSpacing),
                        false);
        if (++appended == kBatch) {
            state.PauseTiming();
            while (appended > 0)
                store->removeEventForCharacter(firstCharacter + --appended);
            state.ResumeTiming();
        }
    }
}

// Recording a whole store from empty: appends including the growth of the lists, per stamp.
void BM_RecordStore(benchmark::State &state)
{
    for (auto _ : state) {
        std::shared_ptr<WrenEvents> store = recordedStore(state.range(0));
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
    state.counters["per_stamp"] =
        benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void lastEventBeforeOffset(benchmark::State &state, int32_t type)
{
    const std::shared_ptr<WrenEvents> store = recordedStore(state.range(0));
    const std::vector<double> offsets = randomOffsets(state.range(0), 4096);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store->lastEventBeforeOffset(offsets[i], 0, type));
        i = (i + 1) % offsets.size();
    }
}

void BM_LastEventBeforeOffsetAnyType(benchmark::State &state)
{
    lastEventBeforeOffset(state, -1);
}

void BM_LastEventBeforeOffsetSlides(benchmark::State &state)
{
    lastEventBeforeOffset(state, WrenTimeStampTypeSlide);
}

void BM_LastEventBeforeEventSlides(benchmark::State &state)
{
    const std::shared_ptr<WrenEvents> store = recordedStore(state.range(0));
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> position(0, store->count() - 1);
    std::vector<WrenTimeStampPtr> stamps(4096);
    for (WrenTimeStampPtr &s : stamps)
        s = store->getEvent(position(random));
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store->lastEventBeforeEvent(stamps[i], WrenTimeStampTypeSlide));
        i = (i + 1) % stamps.size();
    }
}

void BM_GetEventForCharacter(benchmark::State &state)
{
    const std::shared_ptr<WrenEvents> store = recordedStore(state.range(0));
    std::mt19937 random(3);
    std::uniform_int_distribution<uint32_t> character(
        0, static_cast<uint32_t>(store->keyEvents().size()));
    std::vector<uint32_t> characters(4096);
    for (uint32_t &c : characters)
        c = character(random);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store->getEventForCharacter(characters[i]));
        i = (i + 1) % characters.size();
    }
}

// Typing a character in the middle of the notes while recording: its stamp is the latest, and
// it takes its place in the per-character list without renumbering the later entries. The stamp
// is taken out again untimed, so that every round starts from the same store.
void BM_InsertCharacterInTheMiddle(benchmark::State &state)
{
    const std::shared_ptr<WrenEvents> store = recordedStore(state.range(0));
    const auto middle = static_cast<uint32_t>(store->keyEvents().size() / 2);
    const double offset = static_cast<double>(state.range(0)) * kStampSpacing;
    for (auto _ : state) {
        const WrenTimeStampPtr stamp = WrenTimeStamp::initWithKey(middle, 0, offset);
        store->insertEvent(stamp, false);
        state.PauseTiming();
        store->removeEvent(stamp);
        state.ResumeTiming();
    }
}

// Deleting a character in the middle of the notes; it is put back untimed.
void BM_DeleteCharacterInTheMiddle(benchmark::State &state)
{
    const std::shared_ptr<WrenEvents> store = recordedStore(state.range(0));
    const auto middle = static_cast<uint32_t>(store->keyEvents().size() / 2);
    for (auto _ : state) {
        const WrenTimeStampPtr stamp = store->getEventForCharacter(middle);
        store->removeEventForCharacter(middle);
        state.PauseTiming();
        store->insertEvent(stamp, false);
        state.ResumeTiming();
    }
}

// The copy of the stamps a save takes on the main thread before it encodes them on its own.
void BM_ArchiveCopy(benchmark::State &state)
{
    const std::shared_ptr<WrenEvents> store = recordedStore(state.range(0));
    // The last copy is still being written when the next is taken, as a save's is.
    lq::ArchivablePtr last;
    for (auto _ : state) {
        lq::ArchivablePtr copy = store->archiveCopy();
        state.PauseTiming();
        last = std::move(copy);
        state.ResumeTiming();
    }
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->Arg(10'000)->Arg(100'000)->Arg(1'000'000);
}

BENCHMARK(BM_AppendKeyStamp)->Apply(sizes);
BENCHMARK(BM_RecordStore)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LastEventBeforeOffsetAnyType)->Apply(sizes);
BENCHMARK(BM_LastEventBeforeOffsetSlides)->Apply(sizes);
BENCHMARK(BM_LastEventBeforeEventSlides)->Apply(sizes);
BENCHMARK(BM_GetEventForCharacter)->Apply(sizes);
BENCHMARK(BM_InsertCharacterInTheMiddle)->Apply(sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeleteCharacterInTheMiddle)->Apply(sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ArchiveCopy)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
