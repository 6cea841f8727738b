// The real program, started as a user starts it.

#include "DesktopSession.h"
#include "LockHolder.h"
#include "document/MyDocument.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/MainThread.h"
#include "platform/pdf/PdfTestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

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

    // Under a desktop: types, records, plays (when plays) and saves a new note named name, then
    // reads it back from the disk.
    void recordSaveAndReopen(const QString &name, bool plays);

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
    // An untitled note opens: its temporary folder is made.
    const auto noteFolderMade = [&] {
        return QDirIterator(home.filePath(QStringLiteral("cache")), {QStringLiteral("lumaquill-*")},
                            QDir::Dirs, QDirIterator::Subdirectories)
            .hasNext();
    };
    const auto runsListensAndHasANote = [&] {
        first.waitForReadyRead(50);
        output += first.readAll();
        return (QFileInfo::exists(socketPath()) && noteFolderMade()) ||
               first.state() == QProcess::NotRunning;
    };
    lq::runEventLoopUntil(runsListensAndHasANote, 60s);
    ASSERT_TRUE(QFileInfo::exists(socketPath())) << output.toStdString();
    EXPECT_TRUE(QFileInfo::exists(lockPath()));
    EXPECT_TRUE(noteFolderMade());

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

struct EngineFamilyRow
{
    const char *name;
    const char *engine; // LUMAQUILL_MEDIA_ENGINE; null for the default
    bool plays;         // the legacy family has no player yet
};

// A new user's first minutes: the keyboard is in the notes at once, a recording made while
// typing plays, and plays again from the start after its end, and the note is saved and read
// back from the disk, with either engine family.
TEST_F(ProgramTest, UnderADesktopANewUserTypesRecordsPlaysSavesAndQuits)
{
    if (const QString missing = lq::test::DesktopSession::missingTool(); !missing.isEmpty())
        GTEST_SKIP() << missing.toStdString() << " is not installed";
    const EngineFamilyRow rows[] = {{"today's engines", nullptr, true},
                                    {"legacy engines", "legacy", false}};
    for (const EngineFamilyRow &row : rows) {
        SCOPED_TRACE(row.name);
        if (row.engine)
            environment.insert(QStringLiteral("LUMAQUILL_MEDIA_ENGINE"),
                               QString::fromLatin1(row.engine));
        recordSaveAndReopen(QString::fromLatin1(row.name), row.plays);
    }
}

void ProgramTest::recordSaveAndReopen(const QString &name, bool plays)
{
    lq::test::DesktopSession desktop(environment);
    ASSERT_TRUE(desktop.start(QStringLiteral(LQ_PROGRAM))) << desktop.output().toStdString();
    const QStringList windows = desktop.waitForWindows(QStringLiteral("Untitled"), 1, 60s);
    ASSERT_EQ(windows.size(), 1) << desktop.output().toStdString();
    const QString window = windows.first();
    ASSERT_TRUE(desktop.waitUntilActive(window, 30s));
    const auto key = [&](const QString &keys) {
        return desktop
            .xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50"), keys})
            .has_value();
    };
    const auto type = [&](const QString &text) {
        return desktop
            .xdotool(
                {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text})
            .has_value();
    };

    const QString typedAtOnce = QStringLiteral("Typed at once, with spaces.");
    ASSERT_TRUE(type(typedAtOnce));

    // What the clock and the playhead show: the window above the notes (where the caret blinks).
    const std::optional<QRect> frame = desktop.geometry(window);
    ASSERT_TRUE(frame);
    std::optional<int> notesTop;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return (notesTop = desktop.firstWhiteRun(*frame, frame->x() + frame->width() * 3 / 5))
                .has_value();
        },
        30000));
    const QRect transport(frame->x(), frame->y(), frame->width(), *notesTop - frame->y() - 2);
    ASSERT_GT(transport.height(), 20);

    const QString typedWhileRecording = QStringLiteral(" Typed while recording.");
    QElapsedTimer recorded;
    ASSERT_TRUE(key(QStringLiteral("ctrl+alt+r")));
    recorded.start();
    ASSERT_TRUE(type(typedWhileRecording));
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorded.elapsed() > 3000; }, 10000));
    ASSERT_TRUE(key(QStringLiteral("ctrl+alt+r")));
    ASSERT_TRUE(desktop.changingFor(transport, 2500ms, 60s))
        << "the recording stopped (or Record was pressed by a typed space)";

    for (const char *play : {"play", "play again after the end"}) {
        if (!plays)
            break;
        SCOPED_TRACE(play);
        ASSERT_TRUE(key(QStringLiteral("ctrl+alt+p")));
        const std::optional<double> playing = desktop.changingFor(transport, 2500ms, 60s);
        ASSERT_TRUE(playing) << "playback ends";
        EXPECT_GE(*playing, 1.0) << "the clock ran past 0:00:01";
    }

    const QString path = home.filePath(name + QStringLiteral(".lumaquill"));
    ASSERT_TRUE(key(QStringLiteral("ctrl+s")));
    const QStringList panels = desktop.waitForWindows(QStringLiteral("Save As"), 1, 30s);
    ASSERT_EQ(panels.size(), 1);
    ASSERT_TRUE(desktop.waitUntilActive(panels.first(), 30s));
    ASSERT_TRUE(key(QStringLiteral("ctrl+a")));
    ASSERT_TRUE(type(path));
    ASSERT_TRUE(key(QStringLiteral("Return")));
    EXPECT_EQ(desktop.waitForWindows(name, 1, 30s).size(), 1) << desktop.output().toStdString();
    EXPECT_EQ(desktop.quitWith(QStringLiteral("ctrl+q"), 60s), 0) << desktop.output().toStdString();

    const std::unique_ptr<MyDocument> saved = MyDocument::create();
    ASSERT_NE(saved, nullptr);
    lq::Error error;
    ASSERT_TRUE(saved->openUrl(path, &error)) << error.localizedDescription().toStdString();
    EXPECT_EQ(saved->textStorage().string(), typedAtOnce + typedWhileRecording);
    const WrenRecording &recording = saved->recordingObject();
    EXPECT_EQ(recording.sessionCount(), 1) << "Space typed into the notes recorded nothing";
    EXPECT_GT(recording.length(), 2.0);
    EXPECT_LT(recording.length(), 60.0);
    const QStringList files = recording.recordingFiles().value(0);
    ASSERT_FALSE(files.isEmpty());
    for (const QString &file : files) {
        EXPECT_TRUE(QFileInfo(QDir(recording.mediaPathWithSession(0)).filePath(file)).isFile())
            << file.toStdString();
    }
    const WrenEvents &events = recording.events();
    for (qsizetype i = typedAtOnce.size(); i < saved->textStorage().length(); ++i)
        EXPECT_NE(events.getEventForCharacter(uint32_t(i), true), nullptr) << i;
}

TEST_F(ProgramTest, UnderADesktopASecondNoteCascadesFromTheFirstInsideTheScreen)
{
    if (const QString missing = lq::test::DesktopSession::missingTool(); !missing.isEmpty())
        GTEST_SKIP() << missing.toStdString() << " is not installed";
    const QSize screen(1280, 1000);
    lq::test::DesktopSession desktop(environment, screen);
    ASSERT_TRUE(desktop.start(QStringLiteral(LQ_PROGRAM))) << desktop.output().toStdString();
    const QStringList first = desktop.waitForWindows(QStringLiteral("Untitled"), 1, 60s);
    ASSERT_EQ(first.size(), 1) << desktop.output().toStdString();
    ASSERT_TRUE(desktop.waitUntilActive(first.first(), 30s));
    ASSERT_TRUE(desktop.xdotool({QStringLiteral("key"), QStringLiteral("ctrl+n")}));
    const QStringList both = desktop.waitForWindows(QStringLiteral("Untitled"), 2, 60s);
    ASSERT_EQ(both.size(), 2);
    ASSERT_TRUE(desktop.waitUntilActive(both.last(), 30s));
    const std::optional<QRect> older = desktop.geometry(both.first());
    const std::optional<QRect> newer = desktop.geometry(both.last());
    ASSERT_TRUE(older && newer);
    EXPECT_GT(newer->x(), older->x());
    EXPECT_GT(newer->y(), older->y());
    EXPECT_EQ(newer->x() - older->x(), newer->y() - older->y());
    EXPECT_TRUE(QRect(QPoint(0, 0), screen).contains(*newer))
        << newer->x() << "," << newer->y() << " " << newer->width() << "x" << newer->height();
    EXPECT_EQ(desktop.quitWith(QStringLiteral("ctrl+q"), 60s), 0) << desktop.output().toStdString();
}

TEST_F(ProgramTest, UnderADesktopPreferencesOpenOverTheNoteAndSwapPanesInPlace)
{
    if (const QString missing = lq::test::DesktopSession::missingTool(); !missing.isEmpty())
        GTEST_SKIP() << missing.toStdString() << " is not installed";
    const QSize screen(1280, 1000);
    lq::test::DesktopSession desktop(environment, screen);
    ASSERT_TRUE(desktop.start(QStringLiteral(LQ_PROGRAM))) << desktop.output().toStdString();
    const QStringList notes = desktop.waitForWindows(QStringLiteral("Untitled"), 1, 60s);
    ASSERT_EQ(notes.size(), 1) << desktop.output().toStdString();
    ASSERT_TRUE(desktop.waitUntilActive(notes.first(), 30s));
    const auto openPreferences = [&] {
        EXPECT_TRUE(desktop.xdotool({QStringLiteral("key"), QStringLiteral("ctrl+comma")}));
        const QStringList shown = desktop.waitForWindows(QStringLiteral("Preferences"), 1, 60s);
        EXPECT_EQ(shown.size(), 1);
        EXPECT_TRUE(!shown.isEmpty() && desktop.waitUntilActive(shown.first(), 30s));
        return shown.value(0);
    };
    const QString preferences = openPreferences();
    ASSERT_FALSE(preferences.isEmpty());
    const std::optional<QRect> note = desktop.geometry(notes.first());
    const std::optional<QRect> general = desktop.geometry(preferences);
    ASSERT_TRUE(note && general);
    EXPECT_TRUE(QRect(QPoint(0, 0), screen).contains(*general));
    // Centred over the note (give or take the title bar).
    EXPECT_LE((general->center() - note->center()).manhattanLength(), 40);

    // Tab to the Recording item and press it: a pane of another height, under the same corner.
    ASSERT_TRUE(
        desktop.xdotool({QStringLiteral("key"), QStringLiteral("Tab"), QStringLiteral("space")}));
    // Once it changed and then stood still: the resize is animated.
    std::optional<QRect> recording = general;
    for (int i = 0; i < 50; ++i) {
        QThread::msleep(100);
        const std::optional<QRect> now = desktop.geometry(preferences);
        if (now == recording && now != general)
            break;
        recording = now;
    }
    ASSERT_TRUE(recording);
    EXPECT_NE(recording->height(), general->height());
    EXPECT_EQ(recording->topLeft(), general->topLeft());

    ASSERT_TRUE(desktop.xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
    ASSERT_TRUE(desktop.waitUntilActive(notes.first(), 30s));
    // Shown again in its place with the pane last shown (in another native window: closing
    // gives the native one up).
    EXPECT_EQ(desktop.geometry(openPreferences()), recording);
    ASSERT_TRUE(desktop.xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
    ASSERT_TRUE(desktop.waitUntilActive(notes.first(), 30s));
    EXPECT_EQ(desktop.quitWith(QStringLiteral("ctrl+q"), 60s), 0) << desktop.output().toStdString();
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
