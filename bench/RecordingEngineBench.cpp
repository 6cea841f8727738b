// The recording engine with the test microphone: the time from asking for a recording to the
// report that writing began (median of 10), the recorded file's duration against the session
// clock after a long recording, and the CPU share of one core while recording at "64".
// Usage: bench_RecordingEngineBench [seconds of the long recording, 60 by default]

#include "engines/avf/LQRecordingSession.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/MediaInfo.h"
#include "preferences/PrefsController.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace std::chrono_literals;

namespace {

class StartWatch final : public LQRecSessionOwner
{
public:
    bool answers(Callback callback) const override
    {
        return callback == Callback::DidStartRecordingToOutputFile ||
               callback == Callback::SessionRecordingCompleted;
    }
    void didStartRecordingToOutputFile(const QUrl &) override { ++started; }
    void sessionRecordingCompleted(LQRecSession *) override { ++completed; }
    int started = 0;
    int completed = 0;
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool stop(LQRecordingSession &engine, StartWatch &owner)
{
    const int before = owner.completed;
    engine.stopRecording(nullptr);
    return lq::runEventLoopUntil([&] { return owner.completed > before; }, 15s);
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LUMAQUILL_TEST_DEVICES", "1");
    QApplication app(argc, argv);
    const int longSeconds = argc > 1 ? std::max(1, atoi(argv[1])) : 60;

    PrefsController &preferences = PrefsController::sharedController();
    preferences.setSelectedAudioDeviceName(QStringLiteral("Test Microphone"));
    preferences.setSelectedAudioQualityName(preferences.audioQualities().key(QStringLiteral("64")));
    LQRecordingSession engine;
    StartWatch owner;
    engine.setOwner(&owner);
    const QString stem = QDir(home.path()).filePath(QStringLiteral("recording-1."));

    std::vector<double> latencies;
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer timer;
        timer.start();
        const int before = owner.started;
        if (!engine.startRecording(stem, true, false) ||
            !lq::runEventLoopUntil([&] { return owner.started > before; }, 10s)) {
            std::fprintf(stderr, "The recording did not start.\n");
            return 1;
        }
        latencies.push_back(double(timer.nsecsElapsed()) / 1e6);
        lq::runEventLoopUntil([] { return false; }, 200ms);
        stop(engine, owner);
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("start latency: median %.1f ms (min %.1f, max %.1f)\n",
                (latencies[4] + latencies[5]) / 2.0, latencies.front(), latencies.back());

    if (!engine.startRecording(stem, true, false) ||
        !lq::runEventLoopUntil([&] { return owner.started > 0; }, 10s))
        return 1;
    QElapsedTimer clock; // the session clock restarts at the start report
    clock.start();
    const double cpuBefore = cpuSeconds();
    lq::runEventLoopUntil([] { return false; }, std::chrono::seconds(longSeconds));
    const double cpu = cpuSeconds() - cpuBefore;
    const double clockSeconds = double(clock.nsecsElapsed()) / 1e9;
    stop(engine, owner);
    lq::Error error;
    const auto info =
        lq::MediaInfo::probe(stem + QStringLiteral("0.mov"), std::chrono::seconds(10), &error);
    if (!info) {
        std::fprintf(stderr, "%s\n", qPrintable(error.localizedDescription()));
        return 1;
    }
    std::printf("%d s recording: file %.3f s, session clock %.3f s, difference %.1f ms\n",
                longSeconds, info->duration, clockSeconds, (info->duration - clockSeconds) * 1e3);
    std::printf("CPU while recording at \"64\": %.1f%% of one core\n", 100.0 * cpu / clockSeconds);
    return 0;
}
