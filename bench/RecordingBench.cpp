// The recording object's stamping of text changes in a note of 10^6 characters while a session
// records, and its archive with 10^6 stamps in 50 sessions.

#include "model/ModelArchiveClasses.h"
#include "model/RecordingOwner.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "platform/foundation/ClockSource.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/UndoManager.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int64_t kCharacters = 1'000'000;
constexpr double kSpacing = 0.01; // seconds between characters

class BenchOwner final : public RecordingOwner
{
public:
    bool answers(Callback callback) const override { return callback == Callback::UndoManager; }
    lq::UndoManager *undoManager() override { return &undo; }
    lq::UndoManager undo;
};

// A recording whose one session records now, after kCharacters typed into it.
struct RecordingNote
{
    RecordingNote()
    {
        lq::ClockSource::setCurrent(&clock);
        auto session = std::make_shared<WrenTimerSession>();
        recording.addSession(session);
        session->startSession();
        recording.setCurrentSession(0);
        recording.setRecording(true);
        for (int64_t i = 0; i < kCharacters; ++i)
            recording.events().addEvent(
                WrenTimeStamp::initWithKey(uint32_t(i), 0, double(i) * kSpacing), false);
        clock.advance(double(kCharacters) * kSpacing);
        recording.setOwner(&owner);
        owner.undo.setGroupsByEvent(false);
        owner.undo.beginUndoGrouping();
    }
    ~RecordingNote()
    {
        owner.undo.endUndoGrouping();
        recording.setRecording(false);
        lq::ClockSource::setCurrent(nullptr);
    }

    uint32_t length() const { return uint32_t(recording.events().keyEvents().size()); }

    lq::ManualClockSource clock;
    BenchOwner owner;
    WrenRecording recording;
};

void BM_TypeOneCharacterAtTheEnd(benchmark::State &state)
{
    RecordingNote note;
    const QString character = QStringLiteral("a");
    for (auto _ : state) {
        note.clock.advance(kSpacing);
        note.recording.recordKeyEventsForRange(note.length(), 0, character);
    }
}

// Replaces 1,000 characters in the middle by state.range(0) characters.
void BM_ReplaceSelectionInTheMiddle(benchmark::State &state)
{
    RecordingNote note;
    const QString replacement(qsizetype(state.range(0)), QLatin1Char('b'));
    for (auto _ : state) {
        note.clock.advance(kSpacing);
        note.recording.recordKeyEventsForRange(note.length() / 2, 1000, replacement);
    }
}

std::shared_ptr<WrenRecording> archivedNote()
{
    constexpr int kSessions = 50;
    auto recording = std::make_shared<WrenRecording>();
    const int64_t perSession = kCharacters / kSessions;
    for (int s = 0; s < kSessions; ++s) {
        recording->addSession(WrenTimerSession::sessionWithLength(double(perSession) * kSpacing));
        recording->setRecordingFiles(QStringList{QStringLiteral("recording-%1.0.mov").arg(s)}, s);
    }
    for (int64_t i = 0; i < kCharacters; ++i)
        recording->events().addEvent(WrenTimeStamp::initWithKey(uint32_t(i),
                                                                int32_t(i / perSession),
                                                                double(i % perSession) * kSpacing),
                                     false);
    return recording;
}

void BM_EncodeArchive(benchmark::State &state)
{
    const std::shared_ptr<WrenRecording> recording = archivedNote();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            lq::KeyedArchiver::archivedData(lq::ArchiveValue::object(recording)));
}

void BM_DecodeArchive(benchmark::State &state)
{
    registerModelArchiveClasses();
    const QByteArray data =
        lq::KeyedArchiver::archivedData(lq::ArchiveValue::object(archivedNote()));
    for (auto _ : state) {
        auto decoded = lq::KeyedUnarchiver::unarchiveObject<WrenRecording>(
            data, registerModelArchiveClasses());
        if (!decoded)
            state.SkipWithError("decoding failed");
        benchmark::DoNotOptimize(decoded);
    }
}

BENCHMARK(BM_TypeOneCharacterAtTheEnd)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReplaceSelectionInTheMiddle)
    ->Arg(1)
    ->Arg(1000)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeArchive)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeArchive)->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
