// Speed of the player on a one-hour sound session of three files made here: opening the
// session, seeking (request to the first sound at the new place), the position after an exact
// seek, and position jumps over rate changes. Prints the figures.

#include "engines/avf/LQPlayerSession.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/PipelineRunner.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

using namespace std::chrono_literals;

namespace {

constexpr int kFileMinutes = 20;
constexpr int kSeeks = 50;

QString makeSoundFile(const QString &path)
{
    const QString description =
        QStringLiteral("audiotestsrc num-buffers=%1 samplesperbuffer=4410 ! "
                       "audio/x-raw,rate=44100,channels=1 ! audioconvert ! avenc_aac ! qtmux ! "
                       "filesink location=\"%2\"")
            .arg(kFileMinutes * 60 * 10)
            .arg(path);
    lq::Error error;
    if (!lq::PipelineRunner::run(description, 600s, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error.localizedDescription()));
        return {};
    }
    return path;
}

// Loads the files and waits until the engine can play them; says why not when it cannot.
bool load(LQPlayerSession &engine, const QList<LQMediaElement> &files)
{
    if (!engine.addMediaPaths(files) ||
        !lq::runEventLoopUntil([&] { return !engine.isLoading(); }, 60s)) {
        std::fprintf(stderr, "The media files of the session were not read within a minute.\n");
        return false;
    }
    if (!engine.player()) {
        std::fprintf(stderr, "The player could not open the session; the log above says why.\n");
        return false;
    }
    return true;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values[values.size() / 2];
}

double milliseconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("LUMAQUILL_AUDIO_OUTPUT", "fake");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    QList<LQMediaElement> files;
    for (int i = 0; i < 3; ++i) {
        const QString path = makeSoundFile(folder.filePath(QStringLiteral("part-%1.mov").arg(i)));
        if (path.isEmpty())
            return 1;
        files.append(path);
    }

    QList<double> opening;
    for (int i = 0; i < 5; ++i) {
        LQPlayerSession engine;
        QElapsedTimer timer;
        timer.start();
        if (!load(engine, files))
            return 1;
        opening.append(milliseconds(timer));
    }
    std::printf("open a session of 3 files (media info and ready to play): median %.1f ms\n",
                median(opening));

    LQPlayerSession engine;
    if (!load(engine, files))
        return 1;
    lq::MediaPlayer &player = *engine.player();
    std::mt19937 random(7);
    std::uniform_real_distribution<double> anywhere(0.0, player.duration() - 1.0);
    player.setRate(1.0);
    QList<double> latencies;
    double worstError = 0.0;
    for (int i = 0; i < kSeeks; ++i) {
        const double target = anywhere(random);
        QElapsedTimer timer;
        timer.start();
        player.seek(target); // returns once the sound sink holds the first buffer there
        latencies.append(milliseconds(timer));
        worstError = std::max(worstError, std::abs(player.position().value_or(-1.0) - target));
    }
    std::printf("seek while playing, request to first sound at the new place: median %.1f ms, "
                "slowest %.1f ms (%d seeks over %.0f s)\n",
                median(latencies), *std::max_element(latencies.begin(), latencies.end()), kSeeks,
                player.duration());
    std::printf("position after an exact seek: worst error %.3f ms\n", worstError * 1000.0);

    player.playFrom(1800.0, 1.0);
    double worstJump = 0.0;
    for (double rate : {2.0, 0.5, -1.0}) {
        lq::runEventLoopUntil([] { return false; }, 500ms);
        const double before = player.position().value_or(0.0);
        player.setRate(rate);
        const double after = player.position().value_or(0.0);
        std::printf("rate change to %+.1f: position %.3f s -> %.3f s\n", rate, before, after);
        worstJump = std::max(worstJump, std::abs(after - before));
    }
    std::printf("rate changes 1 -> 2 -> 0.5 -> -1: largest position jump %.1f ms\n",
                worstJump * 1000.0);
    return 0;
}
