#include "app/AppDelegate.h"

#include "AppTestSupport.h"
#include "app/AppMenus.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/MainMenu.h"
#include "support/FakeUpdater.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

#include <sys/stat.h>

#include <filesystem>
#include <functional>

namespace lq::test {
namespace {

namespace fs = std::filesystem;

class AppDelegateTest : public DocumentControllerTest
{
protected:
    void TearDown() override
    {
        AppDelegate::destroy();
        MainMenu::setCurrent(nullptr);
        DocumentControllerTest::TearDown();
    }

    QString at(const QString &name) const { return folder.filePath(name); }

    FakeUpdater updater;
};

TEST_F(AppDelegateTest, AwakingTwiceAddsTheStartUpItemsOnceAndTakesTheLockOnce)
{
    MainMenu mainMenu;
    MainMenu::setCurrent(&mainMenu);
    AppMenus menus(mainMenu, *controller, nullptr);
    AppDelegate &delegate = AppDelegate::init();
    EXPECT_EQ(&AppDelegate::init(), &delegate);
    EXPECT_EQ(AppDelegate::sharedAppDelegate(), &delegate);
    EXPECT_EQ(updater.delegate() != nullptr, true);

    QStringList titles;
    for (QMenu *menu : mainMenu.menus())
        titles.append(MainMenu::plainTitle(menu->title()));
    EXPECT_EQ(titles, (QStringList{QStringLiteral("File"), QStringLiteral("Edit"),
                                   QStringLiteral("View"), QStringLiteral("Recording"),
                                   QStringLiteral("Window"), QStringLiteral("Help")}));

    ASSERT_TRUE(delegate.awakeFromNib());
    const int lockFd = delegate.lock().fd();
    EXPECT_GE(lockFd, 0);
    ASSERT_TRUE(delegate.awakeFromNib());
    EXPECT_EQ(delegate.lock().fd(), lockFd);

    const auto count = [](QMenu *menu, const std::function<bool(QAction *)> &matches) {
        const QList<QAction *> actions = menu->actions();
        return std::count_if(actions.begin(), actions.end(), matches);
    };
    QMenu *help = mainMenu.menuTitled(QStringLiteral("Help"));
    QMenu *view = mainMenu.menuTitled(QStringLiteral("View"));
    ASSERT_TRUE(help && view);
    EXPECT_EQ(help->actions().value(2)->text(), QStringLiteral("Check For Updates"));
    EXPECT_EQ(count(help, [](QAction *a) { return a->text() == "Check For Updates"; }), 1);
    EXPECT_EQ(count(view, [](QAction *a) { return a->isSeparator(); }), 1);
    EXPECT_EQ(count(view, [](QAction *a) { return a->text() == "Enter Full Screen"; }), 1);
    help->actions().value(2)->trigger();
    EXPECT_EQ(updater.checks(), 1);

    // Every note's window shows the main menu.
    for (int i = 0; i < 2; ++i) {
        MyDocument *note = controller->openUntitledDocumentAndDisplay(true);
        ASSERT_NE(note, nullptr);
        EXPECT_EQ(fakeWindow(*note).window()->menuBar()->actions().size(), 6);
    }

    const QString lockPath = delegate.lock().path();
    EXPECT_TRUE(QFileInfo::exists(lockPath));
    delegate.goingDown();
    EXPECT_FALSE(QFileInfo::exists(lockPath));
    EXPECT_EQ(delegate.lock().fd(), -1);
}

TEST_F(AppDelegateTest, FirstRunDefaultsNeverReplaceStoredValues)
{
    const struct
    {
        const char *name;
        std::function<void(UserDefaults &)> stored;
        QVariant audioBoost;
        QVariant spelling;
    } cases[] = {
        {"absent", [](UserDefaults &) {}, QVariant(5.0f), QVariant(true)},
        {"stored",
         [](UserDefaults &d) {
             d.setFloat(QStringLiteral("audioBoost"), -1.0f);
             d.setBool(QStringLiteral("checkSpellingByDefault"), false);
         },
         QVariant(-1.0f), QVariant(false)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        defaults->removeObject(QStringLiteral("audioBoost"));
        defaults->removeObject(QStringLiteral("checkSpellingByDefault"));
        c.stored(*defaults);
        AppDelegate::init();
        EXPECT_EQ(defaults->object(QStringLiteral("audioBoost")), c.audioBoost);
        EXPECT_EQ(defaults->object(QStringLiteral("checkSpellingByDefault")), c.spelling);
        AppDelegate::destroy();
    }
}

TEST_F(AppDelegateTest, TheDataFolderIsMadeWithItsParentsOrTheUserIsTold)
{
    QFile plain(at(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    QFile squatter(at(QStringLiteral("squatted")));
    ASSERT_TRUE(squatter.open(QIODevice::WriteOnly));
    squatter.close();
    const struct
    {
        const char *name;
        QString path;
        bool made;
    } cases[] = {
        {"missing parents", at(QStringLiteral("data/deeper/Luma Quill")), true},
        {"a plain file in the way", at(QStringLiteral("squatted")), true},
        {"already there", at(QStringLiteral("data")), true},
        {"under a plain file", at(QStringLiteral("plain/Luma Quill")), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const int shown = alerts.count();
        EXPECT_EQ(AppDelegate::createAppSuppDir(c.path), c.made);
        EXPECT_EQ(QFileInfo(c.path).isDir(), c.made);
        ASSERT_EQ(alerts.count(), shown + (c.made ? 0 : 1));
        if (!c.made) {
            EXPECT_TRUE(alerts.last().request.messageText.startsWith(
                QStringLiteral("Error creating Support directory: ") + c.path + ": "));
        }
    }
}

TEST_F(AppDelegateTest, ThePdfServiceLinkIsMadeOrRepairedOnlyWhereItsFolderExists)
{
    const QString library = at(QStringLiteral("Library"));
    const QString services = library + QStringLiteral("/PDF Services");
    const QString link = services + QStringLiteral("/Send PDF to Luma Quill");
    const QString target = at(QStringLiteral("bin/lumaquill"));
    const auto linkTarget = [&] {
        std::error_code error;
        return QString::fromStdString(fs::read_symlink(link.toStdString(), error).string());
    };
    const auto inode = [&] {
        struct stat attributes = {};
        ::lstat(QFile::encodeName(link).constData(), &attributes);
        return attributes.st_ino;
    };
    const struct
    {
        const char *name;
        std::function<void()> before;
    } cases[] = {
        {"missing", [] {}},
        {"to an older copy", [&] { QFile::link(at(QStringLiteral("old/lumaquill")), link); }},
        {"dangling", [&] { QFile::link(at(QStringLiteral("gone")), link); }},
        {"a plain file",
         [&] {
             QFile file(link);
             file.open(QIODevice::WriteOnly);
         }},
    };
    ASSERT_TRUE(QDir().mkpath(services));
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("bin"))));
    ASSERT_TRUE(QFile(target).open(QIODevice::WriteOnly));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(link);
        c.before();
        AppDelegate::createPDFService(library, target);
        EXPECT_EQ(linkTarget(), target);
    }
    const auto before = inode();
    AppDelegate::createPDFService(library, target);
    EXPECT_EQ(inode(), before) << "a correct link is left alone";

    const QString elsewhere = at(QStringLiteral("NoServices"));
    AppDelegate::createPDFService(elsewhere, target);
    EXPECT_FALSE(QFileInfo::exists(elsewhere));
    EXPECT_EQ(alerts.count(), 0);
}

} // namespace
} // namespace lq::test
