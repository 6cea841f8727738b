// The recording engine with the test microphone (or the microphone named): the time from a key
// press on Record in a note's window to the first written sample, for the first recording after
// start and for later ones (median of 9); the recorded file's duration against the session clock
// after a long recording; and the CPU share of one core while recording at "64".
// Usage: bench_RecordingEngineBench [seconds of the long recording, 60 by default]
//                                   [microphone, "Test Microphone" by default]

#include "document/MyDocument.h"
#include "engines/avf/LQRecordingSession.h"
#include "engines/avf/MediaEngineFactory.h"
#include "model/WrenRecording.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/MediaInfo.h"
#include "platform/ui/ImageButton.h"
#include "preferences/PrefsController.h"
#include "window/DocumentWindow.h"
#include "window/LQVideoViewFactory.h"
#include "window/RecordingController.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
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
    void didStartRecordingToOutputFile(const QUrl &, double) override { ++started; }
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

// Milliseconds from pressing Record (what Ctrl+Alt+R presses) until the note's recording reports
// that the engine writes; then the recording is stopped and its file finished. None when the
// recording does not start.
std::optional<double> keyPressToFirstSample(MyDocument &note, DocumentWindow &window)
{
    note.finishedRecordingToFile = false;
    QElapsedTimer timer;
    timer.start();
    window.recordButton->click();
    const bool writing =
        note.recording &&
        lq::runEventLoopUntil([&] { return !note.recordingObject().recordingSpinningUp(); }, 10s);
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    lq::runEventLoopUntil([] { return false; }, 200ms);
    window.recordButton->click();
    lq::runEventLoopUntil([&] { return note.finishedRecordingToFile.load(); }, 15s);
    return writing ? std::optional(elapsed) : std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        QDir().mkpath(home.filePath(QLatin1String(name)));
        qputenv(name, home.filePath(QLatin1String(name)).toUtf8());
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LUMAQUILL_TEST_DEVICES", "1");
    // A plugin registry kept between runs, as the program's is between starts, instead of a scan
    // of every plugin in the new cache folder.
    if (qEnvironmentVariableIsEmpty("GST_REGISTRY")) {
        const QString registry =
            QFileInfo(QString::fromLocal8Bit(argv[0])).absoluteDir().filePath("gst-registry.bin");
        qputenv("GST_REGISTRY", QFile::encodeName(registry));
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Luma Quill"));
    const int longSeconds = argc > 1 ? std::max(1, atoi(argv[1])) : 60;
    const QString microphone =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("Test Microphone");

    // Wired as the program wires them at start.
    MediaEngineFactory engines;
    LQEngineFactory::setCurrent(&engines);
    LQVideoViewFactory videoViews;
    VideoViewFactory::setCurrent(&videoViews);
    PrefsController &preferences = PrefsController::sharedController();
    if (!preferences.audioDevices().contains(microphone)) {
        std::fprintf(stderr, "There is no microphone \"%s\".\n", qPrintable(microphone));
        return 1;
    }
    preferences.setSelectedAudioDeviceName(microphone);
    preferences.setSelectedAudioQualityName(preferences.audioQualities().key(QStringLiteral("64")));

    {
        std::unique_ptr<MyDocument> note = MyDocument::create();
        auto made = std::make_unique<RecordingController>(*note, preferences);
        DocumentWindow &window = made->window();
        made->setAudioState(1);
        made->setVideoState(0);
        note->addWindowController(std::move(made));
        window.show();
        std::vector<double> later;
        std::optional<double> first;
        for (int i = 0; i < 10; ++i) {
            const std::optional<double> latency = keyPressToFirstSample(*note, window);
            if (!latency) {
                std::fprintf(stderr, "The recording did not start.\n");
                return 1;
            }
            if (i == 0)
                first = latency;
            else
                later.push_back(*latency);
        }
        std::sort(later.begin(), later.end());
        std::printf("key press to first written sample: first recording %.1f ms, later ones median "
                    "%.1f ms (min %.1f, max %.1f)\n",
                    *first, later[later.size() / 2], later.front(), later.back());
    }

    LQRecordingSession engine;
    StartWatch owner;
    engine.setOwner(&owner);
    const QString stem = QDir(home.path()).filePath(QStringLiteral("recording-1."));
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
