// Speed of cropping a recording: three files of 20 seconds (640 x 480 H.264 at 30 pictures a
// second with AAC sound, as the capture writes them) cut inside the third file, so that 45
// seconds are decoded and encoded again. "realtime_factor" tells how many seconds of media one
// second of work keeps; it must stay well above 1.

#include "platform/media/MediaTrimmer.h"
#include "platform/media/PipelineRunner.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr double kFileSeconds = 20.0;
constexpr double kCutAt = 45.0;

bool makeRecordingFile(const QString &path, lq::Error *error)
{
    const int pictures = int(kFileSeconds * 30);
    const int sounds = int(kFileSeconds * 10);
    const QString description =
        QStringLiteral(
            "qtmux name=m ! filesink location=\"%1\" "
            "videotestsrc num-buffers=%2 pattern=ball ! "
            "video/x-raw,width=640,height=480,framerate=30/1 ! videoconvert ! "
            "video/x-raw,format=I420 ! x264enc speed-preset=ultrafast key-int-max=15 ! queue ! "
            "m.video_0 audiotestsrc num-buffers=%3 samplesperbuffer=4410 ! "
            "audio/x-raw,rate=44100,channels=1 ! audioconvert ! avenc_aac ! queue ! m.audio_0")
            .arg(path)
            .arg(pictures)
            .arg(sounds);
    return lq::PipelineRunner::run(description, std::chrono::minutes(2), error);
}

void BM_CropRecording(benchmark::State &state)
{
    QTemporaryDir folder;
    QStringList files;
    for (int i = 0; i < 3; ++i) {
        files.append(folder.filePath(QStringLiteral("recording-1.%1.mov").arg(i)));
        lq::Error error;
        if (!makeRecordingFile(files.last(), &error)) {
            state.SkipWithError(qPrintable(error.localizedDescription()));
            return;
        }
    }
    const QString destination = folder.filePath(QStringLiteral("tempCrop"));
    for (auto _ : state) {
        lq::Error error;
        if (!lq::MediaTrimmer::trim(files, kCutAt, destination, std::chrono::minutes(5), &error))
            state.SkipWithError(qPrintable(error.localizedDescription()));
    }
    state.counters["realtime_factor"] =
        benchmark::Counter(kCutAt * double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_CropRecording)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
