#include "platform/ui/SystemSleepMonitor.h"

#include "platform/foundation/NotificationCenter.h"

#include <QMetaObject>

#include <gtest/gtest.h>

namespace {

using lq::SystemSleepMonitor;

// Counts the two notifications while it lives.
struct Listener
{
    Listener()
    {
        auto &center = lq::NotificationCenter::defaultCenter();
        center.addObserver(this, QLatin1String(SystemSleepMonitor::kWillSleepNotification), nullptr,
                           [this](const lq::Notification &) { ++sleeps; });
        center.addObserver(this,
                           QLatin1String(SystemSleepMonitor::kSessionDidResignActiveNotification),
                           nullptr, [this](const lq::Notification &) { ++resigns; });
    }
    ~Listener() { lq::NotificationCenter::defaultCenter().removeObserver(this); }
    int sleeps = 0;
    int resigns = 0;
};

// Delivers a logind signal as the bus would.
void deliverSleep(SystemSleepMonitor &monitor, bool start)
{
    ASSERT_TRUE(QMetaObject::invokeMethod(&monitor, "prepareForSleep", Qt::DirectConnection,
                                          Q_ARG(bool, start)));
}

void deliverProperties(SystemSleepMonitor &monitor, const QString &interfaceName,
                       const QVariantMap &changed)
{
    ASSERT_TRUE(QMetaObject::invokeMethod(
        &monitor, "sessionPropertiesChanged", Qt::DirectConnection, Q_ARG(QString, interfaceName),
        Q_ARG(QVariantMap, changed), Q_ARG(QStringList, QStringList())));
}

// Works, or quietly does nothing, whether or not this machine has a system bus.
TEST(SystemSleepMonitorTest, PostsOnlyGoingToSleepAndLosingTheSession)
{
    SystemSleepMonitor monitor;
    Listener listener;
    deliverSleep(monitor, false);
    deliverSleep(monitor, true);
    EXPECT_EQ(listener.sleeps, 1);

    const QString session = QStringLiteral("org.freedesktop.login1.Session");
    const QString active = QStringLiteral("Active");
    deliverProperties(monitor, session, {{active, true}});
    deliverProperties(monitor, QStringLiteral("org.freedesktop.login1.User"), {{active, false}});
    deliverProperties(monitor, session, {{QStringLiteral("IdleHint"), true}});
    EXPECT_EQ(listener.resigns, 0);
    deliverProperties(monitor, session, {{active, false}});
    EXPECT_EQ(listener.resigns, 1);
}

} // namespace
