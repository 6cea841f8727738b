#include "platform/ui/SystemSleepMonitor.h"

#include "platform/foundation/NotificationCenter.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>

#include <unistd.h>

namespace lq {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

} // namespace

SystemSleepMonitor::SystemSleepMonitor(QObject *parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    m_listening = bus.connect(kService, kManagerPath, kManagerInterface,
                              QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
    watchOwnSession();
}

void SystemSleepMonitor::watchOwnSession()
{
    QDBusInterface manager(kService, kManagerPath, kManagerInterface, QDBusConnection::systemBus());
    if (!manager.isValid())
        return;
    const QDBusReply<QDBusObjectPath> reply =
        manager.call(QStringLiteral("GetSessionByPID"), static_cast<quint32>(::getpid()));
    if (!reply.isValid())
        return;
    m_sessionPath = reply.value().path();
    QDBusConnection::systemBus().connect(
        kService, m_sessionPath, kPropertiesInterface, QStringLiteral("PropertiesChanged"), this,
        SLOT(sessionPropertiesChanged(QString, QVariantMap, QStringList)));
}

bool SystemSleepMonitor::sessionIsActive() const
{
    QDBusInterface properties(kService, m_sessionPath, kPropertiesInterface,
                              QDBusConnection::systemBus());
    const QDBusReply<QDBusVariant> reply =
        properties.call(QStringLiteral("Get"), kSessionInterface, QStringLiteral("Active"));
    return !reply.isValid() || reply.value().variant().toBool();
}

void SystemSleepMonitor::prepareForSleep(bool start)
{
    if (start)
        NotificationCenter::defaultCenter().post(QLatin1String(kWillSleepNotification), this);
}

void SystemSleepMonitor::sessionPropertiesChanged(const QString &interfaceName,
                                                  const QVariantMap &changed,
                                                  const QStringList &invalidated)
{
    if (interfaceName != kSessionInterface)
        return;
    const QString active = QStringLiteral("Active");
    bool resigned = false;
    if (changed.contains(active))
        resigned = !changed.value(active).toBool();
    else if (invalidated.contains(active))
        resigned = !sessionIsActive();
    if (resigned)
        NotificationCenter::defaultCenter().post(QLatin1String(kSessionDidResignActiveNotification),
                                                 this);
}

} // namespace lq
