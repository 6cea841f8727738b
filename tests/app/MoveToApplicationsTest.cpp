// Moving the program's folder into the applications folder at start-up.

#include "app/MoveToApplications.h"

#include "support/LogCapture.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/TestUserDefaults.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace lq::test {
namespace {

constexpr char kSuppressKey[] = "moveToApplicationsFolderAlertSuppress";
const QString kOfferText = QStringLiteral("Move to Applications folder?");
const QString kFailure = QStringLiteral("Could not move to Applications folder");

// The real file operations in a temporary root, with what root cannot test (writability,
// removable media, other processes, the password prompt) and what must not happen in a test
// (trash, starting programs) scripted and recorded.
class FakeSystem : public MoveToApplicationsSystem
{
public:
    FakeSystem() { previous = setCurrent(this); }
    ~FakeSystem() override { setCurrent(previous); }

    QString bundlePath() const override { return bundle; }
    QString executableInBundle() const override { return QStringLiteral("bin/lumaquill"); }
    QStringList applicationsFolders() const override
    {
        return {root.filePath("home/Applications"), root.filePath("opt")};
    }
    QString localApplicationsFolder() const override { return root.filePath("opt"); }
    QStringList downloadsFolders() const override { return {root.filePath("home/Downloads")}; }
    bool isWritable(const QString &path) const override { return !readOnly.contains(path); }
    bool isOnRemovableMedia(const QString &path) const override
    {
        return path.startsWith(root.filePath("media/"));
    }
    bool moveToTrash(const QString &path) override
    {
        trashed.append(path);
        return QDir(path).removeRecursively();
    }
    bool isRunningInside(const QString &folder) const override { return running == folder; }
    int runPrivileged(const QString &program, const QStringList &arguments) override
    {
        privileged = QStringList{program} + arguments;
        return privilegedStatus;
    }
    void startDetached(const QString &program, const QStringList &arguments) override
    {
        started.append(QStringList{program} + arguments);
    }
    qint64 processId() const override { return 4242; }

    // A program folder at path (under the root) with its executable.
    QString makeBundle(const QString &path)
    {
        bundle = root.filePath(path);
        QDir().mkpath(bundle + "/bin");
        QDir().mkpath(bundle + "/share");
        QFile executable(bundle + "/bin/lumaquill");
        executable.open(QIODevice::WriteOnly);
        executable.write("program");
        QDir().mkpath(localApplicationsFolder());
        return bundle;
    }

    QTemporaryDir root;
    QString bundle;
    QStringList readOnly;
    QString running;
    int privilegedStatus = 0;
    QStringList privileged;
    QStringList trashed;
    QList<QStringList> started;
    MoveToApplicationsSystem *previous = nullptr;
};

class MoveToApplicationsTest : public ::testing::Test
{
protected:
    TestUserDefaults defaults;
    ScriptedAlertPresenter alerts;
    LogCapture log;
    FakeSystem system;
};

TEST_F(MoveToApplicationsTest, NothingIsOfferedWhereAMoveMeansNothing)
{
    struct Case
    {
        const char *name;
        QString bundle;
        bool suppressed;
        bool readOnly;
        bool offered;
        bool noAccessLine;
    };
    const Case cases[] = {
        {"no program folder", {}, false, false, false, false},
        {"declined for good", "home/Downloads/Quill.app", true, false, false, false},
        {"in the user's applications", "home/Applications/Quill.app", false, false, false, false},
        {"in the local applications", "opt/Quill.app", false, false, false, false},
        {"read-only, not removable", "srv/Quill.app", false, true, false, true},
        {"read-only on removable media", "media/stick/Quill.app", false, true, true, false},
        {"beside, not in, applications", "home/ApplicationsOld/Quill.app", false, false, true,
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        defaults->setBool(kSuppressKey, c.suppressed);
        system.bundle = c.bundle.isEmpty() ? QString() : system.makeBundle(c.bundle);
        system.readOnly = c.readOnly ? QStringList{system.bundle} : QStringList();
        const int before = alerts.count();
        if (c.offered)
            alerts.addResponse(1);
        EXPECT_FALSE(PFMoveToApplicationsFolderIfNecessary());
        EXPECT_EQ(alerts.count(), before + (c.offered ? 1 : 0));
        EXPECT_EQ(log.contains("INFO -- No access to delete the app. Not offering to move it."),
                  c.noAccessLine);
        EXPECT_EQ(log.lines().size(), c.noAccessLine ? 1 : 0);
    }
}

TEST_F(MoveToApplicationsTest, TheOfferSaysWhatTheMoveTakesAndADeclineCanBeForGood)
{
    struct Case
    {
        const char *name;
        QString bundle;
        bool rightsNeeded;
        bool ticked;
        QString note;
    };
    const Case cases[] = {
        {"rights needed", "home/Downloads/Quill.app", true, false,
         "Note that this will require an administrator password."},
        {"from the downloads", "home/Downloads/Quill.app", false, true,
         "This will keep your Downloads folder uncluttered."},
        {"from elsewhere", "home/Quill.app", false, false, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        defaults->removeObject(kSuppressKey);
        system.makeBundle(c.bundle);
        system.readOnly = c.rightsNeeded ? QStringList{system.root.filePath("opt")} : QStringList();
        alerts.addResponse(1, c.ticked);
        EXPECT_FALSE(PFMoveToApplicationsFolderIfNecessary());
        const AlertRequest offer = alerts.last().request;
        EXPECT_EQ(offer.messageText, kOfferText);
        const QString intro = "I can move myself to the Applications folder if you'd like.";
        EXPECT_EQ(offer.informativeText, c.note.isEmpty() ? intro : intro + " " + c.note);
        EXPECT_EQ(offer.buttons, QStringList({"Move to Applications Folder", "Do Not Move"}));
        EXPECT_EQ(offer.escapeButton, 1);
        EXPECT_TRUE(offer.showsSuppressionButton);
        defaults.restart();
        EXPECT_EQ(defaults->boolForKey(kSuppressKey), c.ticked);
        const int before = alerts.count();
        if (!c.ticked)
            alerts.addResponse(1);
        PFMoveToApplicationsFolderIfNecessary();
        EXPECT_EQ(alerts.count(), before + (c.ticked ? 0 : 1));
    }
}

TEST_F(MoveToApplicationsTest, AWritableMoveCopiesTrashesAndRelaunchesWithPathsAsArguments)
{
    const QString bundle = system.makeBundle("home/Downloads/Quill's; touch x $(id).app");
    const QString destination = system.root.filePath("opt/Quill's; touch x $(id).app");
    QDir().mkpath(destination + "/old");
    alerts.addResponse(0);

    EXPECT_TRUE(PFMoveToApplicationsFolderIfNecessary());
    EXPECT_EQ(system.trashed, QStringList({destination, bundle}));
    EXPECT_TRUE(QFile::exists(destination + "/bin/lumaquill"));
    EXPECT_FALSE(QFile::exists(destination + "/old"));
    ASSERT_EQ(system.started.size(), 1);
    const QStringList relaunch = system.started.first();
    EXPECT_EQ(relaunch.mid(3), QStringList({"sh", "4242", destination + "/bin/lumaquill"}));
    EXPECT_FALSE(relaunch.at(2).contains("Quill"));
    EXPECT_TRUE(log.contains("INFO -- Moving myself to the Applications folder"));
    EXPECT_EQ(alerts.count(), 1);
}

TEST_F(MoveToApplicationsTest, ACopyRunningAtTheDestinationIsBroughtForwardInstead)
{
    system.makeBundle("home/Quill.app");
    const QString destination = system.root.filePath("opt/Quill.app");
    QDir().mkpath(destination);
    system.running = destination;
    alerts.addResponse(0);

    EXPECT_TRUE(PFMoveToApplicationsFolderIfNecessary());
    EXPECT_EQ(system.started, QList<QStringList>({{destination + "/bin/lumaquill"}}));
    EXPECT_TRUE(system.trashed.isEmpty());
    EXPECT_FALSE(QFile::exists(destination + "/bin/lumaquill"));
    EXPECT_TRUE(log.contains("INFO -- Switching to an already running version"));
}

TEST_F(MoveToApplicationsTest, AMoveWithRightsTakesOnePromptAndTellsOnlyRealFailures)
{
    struct Case
    {
        const char *name;
        QString bundle;
        int status;
        bool ends;
        bool failureAlert;
    };
    const Case cases[] = {
        {"prompt dismissed", "home/Quill.app", 126, false, false},
        {"not allowed", "home/Quill.app", 127, false, true},
        {"copy failed", "home/Quill.app", 1, false, true},
        {"from read-only media", "media/stick/Quill.app", 0, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        system.started.clear();
        system.trashed.clear();
        const QString bundle = system.makeBundle(c.bundle);
        const bool onMedia = c.bundle.startsWith("media/");
        system.readOnly = {system.root.filePath("opt")};
        if (onMedia)
            system.readOnly.append(bundle);
        system.privilegedStatus = c.status;
        const int before = alerts.count();
        alerts.addResponse(0);

        EXPECT_EQ(PFMoveToApplicationsFolderIfNecessary(), c.ends);
        const QString destination = system.root.filePath("opt/Quill.app");
        EXPECT_EQ(system.privileged,
                  QStringList({"/bin/sh", "-c", "rm -rf -- \"$1\" && cp -pR -- \"$2\" \"$1\"", "sh",
                               destination, bundle}));
        EXPECT_EQ(alerts.count(), before + (c.failureAlert ? 2 : 1));
        if (c.failureAlert) {
            EXPECT_EQ(alerts.last().request.messageText, kFailure);
        }
        EXPECT_EQ(
            log.contains("ERROR -- Could not copy myself to /Applications with authorization"),
            c.failureAlert);
        EXPECT_EQ(log.contains("INFO -- Not moving because user canceled authorization"),
                  c.status == 126);
        if (!c.ends)
            continue;
        EXPECT_TRUE(system.trashed.isEmpty());
        ASSERT_EQ(system.started.size(), 2);
        EXPECT_EQ(system.started.at(1),
                  QStringList({"/bin/sh", "-c", "sleep 5 && gio mount -u -- \"$1\"", "sh",
                               system.root.filePath("media/stick")}));
    }
}

} // namespace
} // namespace lq::test
