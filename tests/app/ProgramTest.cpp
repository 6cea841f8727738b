// The real program, started as a user starts it.

#include "LockHolder.h"
#include "platform/foundation/MainThread.h"
#include "platform/pdf/PdfTestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

namespace {

using namespace std::chrono_literals;

// A private home for the program: its own data, settings, cache and runtime folders.
class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *name : {"config", "data", "cache", "runtime"})
            ASSERT_TRUE(QDir().mkpath(home.filePath(QLatin1String(name))));
        QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           home.filePath(QStringLiteral("config")));
        // A data folder that does not exist yet: the program makes it with its parents.
        environment.insert(QStringLiteral("XDG_DATA_HOME"),
                           home.filePath(QStringLiteral("data/new")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"),
                           home.filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                           home.filePath(QStringLiteral("runtime")));
        environment.insert(QStringLiteral("LUMAQUILL_TEST_DEVICES"), QStringLiteral("1"));
        environment.insert(QStringLiteral("LUMAQUILL_AUDIO_OUTPUT"), QStringLiteral("fake"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        // Under the leak checker: what the sound server's and the message bus's client libraries
        // keep is not the program's.
        QFile suppressions(home.filePath(QStringLiteral("lsan.supp")));
        ASSERT_TRUE(suppressions.open(QIODevice::WriteOnly));
        suppressions.write("leak:_dl_init\nleak:gst_update_registry\nleak:libpulse.so\n"
                           "leak:libdbus-1.so\n");
        suppressions.close();
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
                           QStringLiteral("fast_unwind_on_malloc=0"));
        environment.insert(QStringLiteral("LSAN_OPTIONS"),
                           QStringLiteral("suppressions=\"%1\"").arg(suppressions.fileName()));
    }

    QString lockPath() const { return home.filePath(QStringLiteral("data/new/Luma Quill/ASLock")); }
    QString socketPath() const
    {
        return home.filePath(QStringLiteral("runtime/lumaquill-%1.socket").arg(::getuid()));
    }

    // Runs the program to its end (a later launch) and answers its exit status; its log goes
    // into output.
    int launchAgain(const QStringList &arguments, QByteArray *output = nullptr)
    {
        QProcess second;
        second.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment offscreen = environment;
        offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        second.setProcessEnvironment(offscreen);
        second.start(QStringLiteral(LQ_PROGRAM), arguments);
        const bool finished = second.waitForFinished(20000);
        if (output)
            *output = second.readAll();
        if (!finished) {
            second.kill();
            second.waitForFinished();
            return -1;
        }
        return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
    }

    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(ProgramTest, UnderXvfbOneCopyRunsLaterLaunchesHandOverAndQuittingLeavesNothing)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty())
        GTEST_SKIP() << "xvfb-run is not installed";
    QProcess first;
    first.setProcessEnvironment(environment);
    first.setProcessChannelMode(QProcess::MergedChannels);
    // xvfb-run execs nothing after the program: the signal reaches the program through it.
    first.start(QStringLiteral("xvfb-run"),
                {QStringLiteral("-a"), QStringLiteral("-s"),
                 QStringLiteral("-screen 0 1280x1024x24"), QStringLiteral(LQ_PROGRAM)});
    ASSERT_TRUE(first.waitForStarted());
    QByteArray output;
    const auto runsAndListens = [&] {
        first.waitForReadyRead(50);
        output += first.readAll();
        return QFileInfo::exists(socketPath()) || first.state() == QProcess::NotRunning;
    };
    lq::runEventLoopUntil(runsAndListens, 60s);
    ASSERT_TRUE(QFileInfo::exists(socketPath())) << output.toStdString();
    EXPECT_TRUE(QFileInfo::exists(lockPath()));
    // An untitled note opened: its temporary folder was made.
    QDirIterator notes(home.filePath(QStringLiteral("cache")), {QStringLiteral("lumaquill-*")},
                       QDir::Dirs, QDirIterator::Subdirectories);
    EXPECT_TRUE(notes.hasNext());

    const QString slides = home.filePath(QStringLiteral("slides.pdf"));
    ASSERT_TRUE(lq::test::writePdf(slides, {QSize(300, 200)}));
    EXPECT_EQ(launchAgain({slides}), 0);
    const QByteArray expected = "Opening " + slides.toUtf8() + " from another launch.";
    lq::runEventLoopUntil(
        [&] {
            first.waitForReadyRead(50);
            output += first.readAll();
            return output.contains(expected);
        },
        10s);
    EXPECT_TRUE(output.contains(expected)) << output.toStdString();
    EXPECT_EQ(first.state(), QProcess::Running) << "the running copy goes on";

    // The program's own children (xvfb-run's shell runs it) take the signal as a quit.
    QProcess::execute(QStringLiteral("pkill"), {QStringLiteral("-TERM"), QStringLiteral("-P"),
                                                QString::number(first.processId()),
                                                QStringLiteral("-x"), QStringLiteral("lumaquill")});
    EXPECT_TRUE(first.waitForFinished(30000)) << output.toStdString();
    output += first.readAll();
    EXPECT_EQ(first.exitCode(), 0) << output.toStdString();
    EXPECT_FALSE(QFileInfo::exists(lockPath()));
    EXPECT_FALSE(QFileInfo::exists(socketPath()));
}

TEST_F(ProgramTest, UnderXvfbQuittingWhileRecordingIsRefusedAndAfterStoppingQuits)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "xvfb-run or xdotool is not installed";
    environment.insert(QStringLiteral("LUMAQUILL_ALERTS"), QStringLiteral("log"));
    // Ctrl+Alt+R starts and stops recording from the test microphone; each SIGTERM asks to quit.
    const QString script = home.filePath(QStringLiteral("record-and-quit.sh"));
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"(program="$1"
"$program" &
pid=$!
window=$(xdotool search --sync --onlyvisible --name Untitled | head -n 1)
xdotool windowfocus --sync "$window"
sleep 1
xdotool key --window "$window" ctrl+alt+r
sleep 3
kill -TERM "$pid"
sleep 2
kill -0 "$pid" && echo "still running while recording"
xdotool key --window "$window" ctrl+alt+r
sleep 2
kill -TERM "$pid"
wait "$pid"
echo "program ended with $?"
)");
    file.close();
    QProcess run;
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QStringLiteral("xvfb-run"),
              {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x1024x24"),
               QStringLiteral("sh"), script, QStringLiteral(LQ_PROGRAM)});
    ASSERT_TRUE(run.waitForFinished(90000));
    const QByteArray output = run.readAll();
    EXPECT_TRUE(output.contains("Alert: I'm sorry, but you cannot close a Luma Quill document "
                                "while it is recording."))
        << output.toStdString();
    EXPECT_TRUE(output.contains("still running while recording")) << output.toStdString();
    EXPECT_TRUE(output.contains("program ended with 0")) << output.toStdString();
    EXPECT_FALSE(QFileInfo::exists(lockPath()));
    EXPECT_FALSE(QFileInfo::exists(socketPath()));
}

TEST_F(ProgramTest, ALaunchWithArgumentsItCannotReadEndsWithStatusTwo)
{
    // Nothing is forwarded and nothing starts.
    EXPECT_EQ(launchAgain({QStringLiteral("--search")}), 2);
}

TEST_F(ProgramTest, AFailedStartUpStepEndsTheProgramBeforeItRuns)
{
    environment.insert(QStringLiteral("LUMAQUILL_ALERTS"), QStringLiteral("log"));
    QFile plain(home.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    struct Case
    {
        const char *name;
        QString dataHome;
        bool holdLock;
        const char *alert;
    };
    const Case cases[] = {
        {"the data folder cannot be made", plain.fileName() + QStringLiteral("/share"), false,
         "Alert: Error creating Support directory: "},
        {"another copy holds the lock and does not answer",
         home.filePath(QStringLiteral("data/new")), true,
         "Alert: Error: Luma Quill is already running | This copy of Luma Quill will now exit."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), c.dataHome);
        std::optional<lq::test::LockHolder> holder;
        if (c.holdLock) {
            ASSERT_TRUE(QDir().mkpath(QFileInfo(lockPath()).path()));
            holder.emplace(lockPath());
            ASSERT_TRUE(holder->locked());
        }
        QByteArray output;
        EXPECT_EQ(launchAgain({}, &output), 1);
        EXPECT_TRUE(output.contains(c.alert)) << output.toStdString();
        EXPECT_FALSE(QFileInfo::exists(socketPath())) << "the event loop never ran";
        if (c.holdLock) {
            EXPECT_TRUE(QFileInfo::exists(lockPath())) << "the running copy's lock stays";
            holder.reset();
        }
    }
}

TEST(DesktopFilesTest, TheDesktopEntryAndTheNoteTypeAreValid)
{
    const QString data = QStringLiteral(LQ_SOURCE_DIR "/data");
    const QString validate =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validate.isEmpty())
        GTEST_SKIP() << "desktop-file-utils is not installed";
    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(validate, {data + QStringLiteral("/lumaquill.desktop")});
    ASSERT_TRUE(check.waitForFinished());
    EXPECT_EQ(check.exitCode(), 0);
    EXPECT_TRUE(check.readAll().trimmed().isEmpty());

    QTemporaryDir mime;
    ASSERT_TRUE(QDir().mkpath(mime.filePath(QStringLiteral("packages"))));
    ASSERT_TRUE(QFile::copy(data + QStringLiteral("/lumaquill.xml"),
                            mime.filePath(QStringLiteral("packages/lumaquill.xml"))));
    EXPECT_EQ(QProcess::execute(QStringLiteral("update-mime-database"), {mime.path()}), 0);
    QFile globs(mime.filePath(QStringLiteral("globs2")));
    ASSERT_TRUE(globs.open(QIODevice::ReadOnly));
    EXPECT_TRUE(globs.readAll().contains("application/x-lumaquill-note:*.lumaquill"));
}

} // namespace
