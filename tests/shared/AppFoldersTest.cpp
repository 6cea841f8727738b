#include "shared/AppFolders.h"

#include "ScopedEnvironment.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(AppFoldersTest, SupportAndCachePathsFollowTheXdgFolders)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", root.filePath(QStringLiteral("home data")));
    environment.set("XDG_DATA_DIRS", root.filePath(QStringLiteral("one")) + QLatin1Char(':') +
                                         root.filePath(QStringLiteral("two")));
    environment.set("XDG_CACHE_HOME", root.path());

    const QMap<uint, QStringList> paths = appSupportPaths();
    EXPECT_EQ(paths.keys(), QList<uint>({UserDomain, LocalDomain, NetworkDomain}));
    EXPECT_EQ(paths.value(UserDomain),
              QStringList{root.filePath(QStringLiteral("home data/Luma Quill"))});
    EXPECT_EQ(paths.value(LocalDomain),
              QStringList({root.filePath(QStringLiteral("one/Luma Quill")),
                           root.filePath(QStringLiteral("two/Luma Quill"))}));
    EXPECT_TRUE(paths.value(NetworkDomain).isEmpty());
    EXPECT_EQ(appCachePath(), root.filePath(QStringLiteral("Luma Quill")));
}

TEST(AppFoldersTest, HomeFolderComesFromTheUserDatabaseNotHome)
{
    ScopedEnvironment environment;
    environment.set("HOME", QStringLiteral("/nonexistent/elsewhere"));

    const std::optional<QString> home = LQHomeDir();
    ASSERT_TRUE(home);
    EXPECT_NE(*home, QStringLiteral("/nonexistent/elsewhere"));
    EXPECT_TRUE(QFileInfo(*home).isAbsolute());
}

} // namespace
