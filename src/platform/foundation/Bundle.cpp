#include "platform/foundation/Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <mutex>

namespace lq::Bundle {
namespace {

// The bundle name, read from any thread.
struct NameCache
{
    std::mutex mutex;
    QString name = QStringLiteral("Luma Quill");
};

NameCache &nameCache()
{
    static NameCache cache;
    return cache;
}

void rememberName()
{
    const QString applicationName = QCoreApplication::applicationName();
    if (applicationName.isEmpty())
        return;
    NameCache &cache = nameCache();
    std::lock_guard lock(cache.mutex);
    cache.name = applicationName;
}

// The name the program gives itself at start-up becomes the bundle name.
void followApplicationName()
{
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::applicationNameChanged,
                     QCoreApplication::instance(), &rememberName);
}
Q_COREAPP_STARTUP_FUNCTION(followApplicationName)

QString installedResourceDirectory()
{
    if (!QCoreApplication::instance())
        return {};
    const QString folder = QDir(QCoreApplication::applicationDirPath())
                               .absoluteFilePath(QStringLiteral("../share/lumaquill/resources"));
    return QFileInfo(folder).isDir() ? QDir::cleanPath(folder) : QString();
}

} // namespace

QString name()
{
    NameCache &cache = nameCache();
    std::lock_guard lock(cache.mutex);
    return cache.name;
}

QString shortVersion()
{
    return QStringLiteral(LQ_SHORT_VERSION);
}

QString buildRevision()
{
#ifdef LQ_BUILD_REVISION
    return QStringLiteral(LQ_BUILD_REVISION);
#else
    return QStringLiteral("0");
#endif
}

QString resourceDirectory()
{
    const QString fromEnvironment = qEnvironmentVariable("LUMAQUILL_RESOURCES");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QString installed = installedResourceDirectory();
    if (!installed.isEmpty())
        return installed;
#ifdef LQ_BUILD_RESOURCES_DIR
    return QStringLiteral(LQ_BUILD_RESOURCES_DIR);
#else
    return {};
#endif
}

QString resourcePath(const QString &relativePath)
{
    const QString folder = resourceDirectory();
    if (folder.isEmpty())
        return {};
    const QString path = QDir(folder).absoluteFilePath(relativePath);
    return QFileInfo::exists(path) ? path : QString();
}

bool modernMediaEnginesAvailable()
{
    return qEnvironmentVariable("LUMAQUILL_MEDIA_ENGINE") != QLatin1String("legacy");
}

} // namespace lq::Bundle
