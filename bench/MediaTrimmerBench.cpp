// Speed and memory of cropping a recording of one hour in three files of 20 minutes (640 x 480
// H.264 at 30 pictures a second and AAC sound, about 100 MB each, the size at which the capture
// starts a new file), cut at 50 minutes, inside the third file. The files are built from ten
// seconds written as the capture writes them, joined by the trimmer itself. "realtime_factor"
// tells how many seconds of media one second of work keeps. Each crop runs in a fresh process of
// its own, which times the crop and tells its peak resident memory, "peak_rss_MB" (the files' data
// goes through the page cache, which is not counted).

#include "platform/media/MediaTrimmer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace {

constexpr int kPieceSeconds = 10;
constexpr int kPiecesPerFile = 120; // 20 minutes
constexpr double kCutAt = 50 * 60.0;
constexpr auto kTimeLimit = std::chrono::minutes(5);

// Written by gst-launch-1.0, so that the encoder's memory stays out of this process.
bool makePiece(const QString &path)
{
    const QString description =
        QStringLiteral(
            "splitmuxsink name=s location=\"%1\" "
            "muxer=\"qtmux fragment-duration=500 fragment-mode=first-moov-then-finalise\" "
            "videotestsrc num-buffers=%2 pattern=snow ! "
            "video/x-raw,width=640,height=480,framerate=30/1 ! videoconvert ! "
            "video/x-raw,format=I420 ! x264enc tune=zerolatency speed-preset=fast "
            "key-int-max=15 bitrate=540 ! h264parse ! s.video "
            "audiotestsrc num-buffers=%3 samplesperbuffer=4410 ! "
            "audio/x-raw,rate=44100,channels=1 ! audioconvert ! avenc_aac ! s.audio_0")
            .arg(path)
            .arg(kPieceSeconds * 30)
            .arg(kPieceSeconds * 10);
    // splitmuxsink at times never finishes at the end of its sources: tried again then.
    for (int attempt = 0; attempt < 3; ++attempt) {
        QProcess launch;
        launch.start(QStringLiteral("gst-launch-1.0"),
                     QStringList{QStringLiteral("-q")} + QProcess::splitCommand(description));
        if (launch.waitForFinished(60'000))
            return launch.exitStatus() == QProcess::NormalExit && launch.exitCode() == 0;
        launch.kill();
        launch.waitForFinished();
    }
    return false;
}

// The peak resident memory of this process in MB.
double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0.0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0.0;
}

// Run as "--crop DESTINATION FILE...": crops in this fresh process and prints the seconds it
// took and the process's peak memory.
int cropAndTell(const QStringList &arguments)
{
    lq::Error error;
    QElapsedTimer clock;
    clock.start();
    if (!lq::MediaTrimmer::trim(arguments.mid(1), kCutAt, arguments.first(), kTimeLimit, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error.localizedDescription()));
        return 1;
    }
    std::printf("%f %f\n", double(clock.nsecsElapsed()) / 1e9, peakMegabytes());
    return 0;
}

std::string self;

void BM_CropRecordedHour(benchmark::State &state)
{
    QTemporaryDir folder;
    const QString piece = folder.filePath(QStringLiteral("piece.mov"));
    if (!makePiece(piece)) {
        state.SkipWithError("gst-launch-1.0 could not write the recording.");
        return;
    }
    lq::Error error;
    QStringList files;
    for (int i = 0; i < 3; ++i) {
        files.append(folder.filePath(QStringLiteral("recording-1.%1.mov").arg(i)));
        if (!lq::MediaTrimmer::trim(QStringList(kPiecesPerFile, piece), 1e9, files.last(),
                                    kTimeLimit, &error)) {
            state.SkipWithError(qPrintable(error.localizedDescription()));
            return;
        }
    }
    const QString destination = folder.filePath(QStringLiteral("tempCrop"));
    double peak = 0.0;
    for (auto _ : state) {
        QProcess crop;
        crop.start(QString::fromStdString(self),
                   QStringList{QStringLiteral("--crop"), destination} + files);
        const QList<QByteArray> told = crop.waitForFinished(-1) && crop.exitCode() == 0
                                           ? crop.readAllStandardOutput().trimmed().split(' ')
                                           : QList<QByteArray>();
        if (told.size() != 2) {
            state.SkipWithError(crop.readAllStandardError().constData());
            break;
        }
        state.SetIterationTime(told[0].toDouble());
        peak = std::max(peak, told[1].toDouble());
    }
    state.counters["realtime_factor"] =
        benchmark::Counter(kCutAt * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["peak_rss_MB"] = peak;
    state.counters["file_MB"] = double(QFile(files.first()).size()) / (1024 * 1024);
    state.counters["cut_MB"] = double(QFile(destination).size()) / (1024 * 1024);
}

} // namespace

BENCHMARK(BM_CropRecordedHour)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

int main(int argc, char **argv)
{
    if (argc > 2 && std::string_view(argv[1]) == "--crop") {
        QStringList arguments;
        for (int i = 2; i < argc; ++i)
            arguments.append(QString::fromLocal8Bit(argv[i]));
        return cropAndTell(arguments);
    }
    self = argv[0];
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
