// Playback timing of the recording object: how late each character's highlight comes with the
// real timers and a player whose clock is the machine's, and how long a jump from a character
// to its moment takes in a note of 10^6 stamps.

#include "engines/LQEngineFactory.h"
#include "model/ModelArchiveClasses.h"
#include "model/RecordingOwner.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "platform/foundation/MainThread.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A player without media whose position runs on the machine's clock at its rate.
class ClockPlayer final : public LQPlaySession
{
public:
    bool addMediaPaths(const QList<LQMediaElement> &) override { return true; }
    bool addMediaFiles(const QStringList &, const QString &) override { return true; }
    bool startPlaying(std::optional<double> offset, bool) override
    {
        m_from = offset.value_or(m_from);
        m_started = Clock::now();
        m_playing = true;
        return true;
    }
    bool stopPlaying() override { return std::exchange(m_playing, false); }
    bool setRate(float rate) override
    {
        if (!m_playing)
            return false;
        m_from = position();
        m_started = Clock::now();
        m_rate = rate;
        return true;
    }
    bool currentTime(double *seconds) override
    {
        if (!m_playing)
            return false;
        *seconds = position();
        return true;
    }
    bool length(double *) override { return false; }
    void setCurrentTime(double seconds) override
    {
        m_from = seconds;
        m_started = Clock::now();
    }
    bool trimFrom(std::optional<double>, QStringList *) override { return false; }
    bool exportMedia(const QString &, const QString &, LQExportProgress &,
                     std::optional<QSize>) override
    {
        return false;
    }
    void cancelExporting() override {}
    bool currentlyPlaying() const override { return m_playing; }

    Clock::time_point started() const { return m_started; }
    double from() const { return m_from; }

private:
    double position() const
    {
        return m_playing ? m_from + m_rate * secondsSince(m_started) : m_from;
    }

    bool m_playing = false;
    double m_from = 0.0;
    float m_rate = 1.0f;
    Clock::time_point m_started = Clock::now();
};

class ClockPlayerFactory final : public LQEngineFactory
{
public:
    ClockPlayer *last = nullptr;

private:
    std::unique_ptr<LQRecSession> createRecordingEngine(Family) override { return nullptr; }
    std::unique_ptr<LQPlaySession> createPlaybackEngine(Family) override
    {
        auto player = std::make_unique<ClockPlayer>();
        last = player.get();
        return player;
    }
};

class TimingOwner final : public RecordingOwner
{
public:
    bool answers(Callback callback) const override { return callback == Callback::HighlightChar; }
    void highlightChar(uint32_t index) override { highlights.push_back({index, Clock::now()}); }

    std::vector<std::pair<uint32_t, Clock::time_point>> highlights;
};

// One session of seconds with media, a key stamp every spacing seconds.
std::unique_ptr<WrenRecording> note(const QString &folder, double seconds, double spacing)
{
    auto recording = std::make_unique<WrenRecording>();
    recording->setTempDir(folder);
    auto session = WrenTimerSession::sessionWithLength(seconds);
    session->setHasAudio(true);
    recording->addSession(session);
    const auto count = static_cast<uint32_t>(seconds / spacing);
    for (uint32_t i = 0; i < count; ++i)
        recording->events().addEvent(WrenTimeStamp::initWithKey(i, 0, double(i) * spacing), false);
    recording->setRecordingFiles(QStringList{QStringLiteral("recording-0.0.mov")}, 0);
    return recording;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

void highlightTiming(const QString &folder, ClockPlayerFactory &factory)
{
    constexpr double kNoteSeconds = 600.0;
    constexpr double kSpacing = 0.1;
    constexpr double kWindow = 10.0; // wall seconds sampled per speed
    constexpr double kFrom = 100.0;  // note seconds where each window starts
    std::printf("Highlight lateness, 10-minute note with a stamp every 100 ms, real Qt timers "
                "(%.0f s of wall time sampled per speed, from %.0f s into the note):\n",
                kWindow, kFrom);
    for (const float speed : {0.5f, 1.0f, 2.0f, 4.0f}) {
        TimingOwner owner;
        auto recording = note(folder, kNoteSeconds, kSpacing);
        recording->setOwner(&owner);
        recording->setSelectedPlaybackSpeed(speed);
        recording->jumpToPercentage(0.0f, kFrom);
        owner.highlights.clear();
        if (!recording->startPlayback()) {
            std::printf("  speed %.1f: playback did not start\n", double(speed));
            continue;
        }
        const ClockPlayer *player = factory.last;
        lq::runEventLoopUntil([] { return false; }, std::chrono::milliseconds(int(kWindow * 1000)));
        recording->stopPlayback();
        std::vector<double> lateness;
        for (const auto &[index, when] : owner.highlights) {
            const double due = (double(index) * kSpacing - player->from()) / speed;
            if (due < 0)
                continue;
            const Clock::time_point moment =
                player->started() +
                std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(due));
            lateness.push_back(std::chrono::duration<double, std::milli>(when - moment).count());
        }
        std::printf("  speed %.1f: %zu highlights, lateness median %.3f ms, p99 %.3f ms, "
                    "max %.3f ms\n",
                    double(speed), lateness.size(), percentile(lateness, 0.5),
                    percentile(lateness, 0.99),
                    lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end()));
        recording->setOwner(nullptr);
    }
}

void jumpTiming(const QString &folder)
{
    constexpr double kSpacing = 0.01;
    constexpr int kJumps = 20000;
    auto recording = note(folder, 1'000'000 * kSpacing, kSpacing);
    TimingOwner owner;
    recording->setOwner(&owner);
    std::mt19937 random(7);
    std::uniform_int_distribution<uint32_t> character(0, 999'999);
    std::vector<double> times;
    times.reserve(kJumps);
    for (int i = 0; i < kJumps; ++i) {
        const uint32_t index = character(random);
        const Clock::time_point start = Clock::now();
        recording->jumpToCharacter(index);
        times.push_back(secondsSince(start) * 1e6);
    }
    std::printf("Jump from a character to its moment (look-up and player seek), 10^6 stamps, "
                "%d jumps: median %.2f us, p99 %.2f us, max %.2f us\n",
                kJumps, percentile(times, 0.5), percentile(times, 0.99),
                *std::max_element(times.begin(), times.end()));
    recording->setOwner(nullptr);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    registerModelArchiveClasses();
    ClockPlayerFactory factory;
    LQEngineFactory *previous = LQEngineFactory::setCurrent(&factory);
    QTemporaryDir folder;
    jumpTiming(folder.path());
    highlightTiming(folder.path(), factory);
    LQEngineFactory::setCurrent(previous);
    return 0;
}
