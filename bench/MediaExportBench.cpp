// Speed of media export, each figure beside a bare gst-launch-1.0 doing the same encode in the
// same run, and the machine's load: a one-hour AAC session of three files, as the capture writes
// them, exported as AAC sound ("m4a_export" of several files is encoded), and a ten-minute
// 640 x 480 H.264 session exported for the web ("h264_export" at 320 x 240). The sessions are
// made once per run. Prints the figures.

#include "engines/avf/LQPlayerSession.h"
#include "platform/media/PipelineRunner.h"
#include "support/FakeExportProgress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace std::chrono_literals;

namespace {

constexpr int kSoundFileMinutes = 20;
constexpr int kMovieMinutes = 10;
constexpr int kRounds = 2;

const QString kSoundEncoder = QStringLiteral("voaacenc bitrate=128000");

bool make(const QString &description)
{
    lq::Error error;
    if (lq::PipelineRunner::run(description, 1800s, &error))
        return true;
    std::fprintf(stderr, "%s\n", qPrintable(error.localizedDescription()));
    return false;
}

bool makeSoundFile(const QString &path)
{
    return make(QStringLiteral("audiotestsrc num-buffers=%1 samplesperbuffer=4410 ! "
                               "audio/x-raw,rate=44100,channels=2 ! audioconvert ! %2 ! qtmux ! "
                               "filesink location=\"%3\"")
                    .arg(kSoundFileMinutes * 60 * 10)
                    .arg(kSoundEncoder, path));
}

bool makeMovie(const QString &path)
{
    return make(
        QStringLiteral("qtmux name=m ! filesink location=\"%1\" videotestsrc num-buffers=%2 "
                       "pattern=ball ! video/x-raw,width=640,height=480,framerate=30/1 ! "
                       "videoconvert ! video/x-raw,format=I420 ! x264enc speed-preset=ultrafast "
                       "key-int-max=15 ! queue ! m.video_0 audiotestsrc num-buffers=%3 "
                       "samplesperbuffer=4410 ! audio/x-raw,rate=44100,channels=1 ! "
                       "audioconvert ! %4 ! queue ! m.audio_0")
            .arg(path)
            .arg(kMovieMinutes * 60 * 30)
            .arg(kMovieMinutes * 60 * 10)
            .arg(kSoundEncoder));
}

QString load()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

// Seconds the bare pipeline takes; negative when it fails.
double bare(const QString &description)
{
    QElapsedTimer timer;
    timer.start();
    QProcess launch;
    launch.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    launch.start(QStringLiteral("gst-launch-1.0"),
                 QStringList{QStringLiteral("-q")} + QProcess::splitCommand(description));
    if (!launch.waitForFinished(-1) || launch.exitCode() != 0)
        return -1.0;
    return double(timer.nsecsElapsed()) / 1e9;
}

// Seconds our export takes; negative when it fails.
double ours(const QList<LQMediaElement> &elements, const QString &type, std::optional<QSize> size,
            const QString &destination)
{
    QElapsedTimer timer;
    timer.start();
    LQPlayerSession engine;
    lq::test::FakeExportProgress progress;
    if (!engine.addMediaPaths(elements) || !engine.exportMedia(destination, type, progress, size))
        return -1.0;
    return double(timer.nsecsElapsed()) / 1e9;
}

void report(const char *what, double mediaSeconds, double oursSeconds, double bareSeconds,
            const QString &loadBefore)
{
    if (oursSeconds < 0.0 || bareSeconds < 0.0) {
        std::printf("%s: FAILED (load %s)\n", what, qPrintable(loadBefore));
        return;
    }
    std::printf("%s: ours %.1f s = %.0fx real time; bare gst-launch %.1f s = %.0fx; ours/bare "
                "speed %.2f (load before %s, after %s)\n",
                what, oursSeconds, mediaSeconds / oursSeconds, bareSeconds,
                mediaSeconds / bareSeconds, bareSeconds / oursSeconds, qPrintable(loadBefore),
                qPrintable(load()));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const auto path = [&](const QString &name) { return folder.filePath(name); };

    QElapsedTimer making;
    making.start();
    QList<LQMediaElement> soundFiles;
    QString decodedSound;
    for (int i = 0; i < 3; ++i) {
        const QString file = path(QStringLiteral("recording-0.%1.mov").arg(i));
        if (!makeSoundFile(file))
            return 1;
        soundFiles.append(file);
        decodedSound += QStringLiteral(" filesrc location=%1 ! qtdemux ! avdec_aac ! c.").arg(file);
    }
    const QString movie = path(QStringLiteral("recording-1.0.mov"));
    if (!makeMovie(movie))
        return 1;
    std::printf("sessions made in %.0f s\n", double(making.elapsed()) / 1000.0);

    const QString bareSound =
        QStringLiteral("concat name=c ! audioconvert ! audioresample ! %1 ! mp4mux ! filesink "
                       "location=%2")
            .arg(kSoundEncoder, path(QStringLiteral("bare.m4a"))) +
        decodedSound;
    const QString bareMovie =
        QStringLiteral(
            "filesrc location=%1 ! qtdemux name=d mp4mux name=m ! filesink location=%2 "
            "d.video_0 ! queue ! avdec_h264 ! videoconvert ! videoscale ! videorate ! "
            "video/x-raw,width=320,height=240,framerate=15/1 ! videoconvert ! "
            "video/x-raw,format=I420 ! x264enc speed-preset=veryfast pass=qual quantizer=23 "
            "bframes=0 ! queue ! m. d.audio_0 ! queue ! avdec_aac ! audioconvert ! audioresample "
            "! %3 ! queue ! m.")
            .arg(movie, path(QStringLiteral("bare.m4v")), kSoundEncoder);

    for (int round = 1; round <= kRounds; ++round) {
        QString before = load();
        double bareSeconds = bare(bareSound);
        double oursSeconds = ours(soundFiles, QStringLiteral("m4a_export"), std::nullopt,
                                  path(QStringLiteral("ours.m4a")));
        report("1-hour AAC session (3 files) to AAC sound", 3 * kSoundFileMinutes * 60.0,
               oursSeconds, bareSeconds, before);

        before = load();
        bareSeconds = bare(bareMovie);
        oursSeconds = ours({movie}, QStringLiteral("h264_export"), QSize(320, 240),
                           path(QStringLiteral("ours.m4v")));
        report("10-minute 640x480 H.264 session to a 320x240 movie", kMovieMinutes * 60.0,
               oursSeconds, bareSeconds, before);
    }
    return 0;
}
