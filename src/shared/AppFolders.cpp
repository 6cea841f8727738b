#include "shared/AppFolders.h"

#include "platform/foundation/Bundle.h"

#include <QFile>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

QString inAppFolder(const QString &folder)
{
    return folder + QLatin1Char('/') + appName();
}

} // namespace

QString appName()
{
    return lq::Bundle::name();
}

QMap<uint, QStringList> appSupportPaths()
{
    // The first data location is the user's own, the rest are the system's.
    const QStringList dataFolders =
        QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    QStringList user;
    QStringList local;
    for (qsizetype i = 0; i < dataFolders.size(); ++i)
        (i == 0 ? user : local).append(inAppFolder(dataFolders.at(i)));
    return {{UserDomain, user}, {LocalDomain, local}, {NetworkDomain, {}}};
}

std::optional<QString> appCachePath()
{
    const QString cacheFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cacheFolder.isEmpty())
        return std::nullopt;
    return inAppFolder(cacheFolder);
}

std::optional<QString> LQHomeDir()
{
    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? size_t(suggested) : 1024);
    passwd entry{};
    passwd *found = nullptr;
    int status;
    while ((status = getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (status != 0 || !found || !found->pw_dir)
        return std::nullopt;
    return QFile::decodeName(found->pw_dir);
}
