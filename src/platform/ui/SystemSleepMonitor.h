#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace lq {

// Hears from logind over the system bus that the machine is about to sleep, or that this user's
// session stopped being the active one (a user switch), and posts that on the default
// notification centre. Where there is no system bus or no logind nothing is posted.
class SystemSleepMonitor final : public QObject
{
    Q_OBJECT

public:
    static constexpr char kWillSleepNotification[] = "LQWorkspaceWillSleepNotification";
    static constexpr char kSessionDidResignActiveNotification[] =
        "LQWorkspaceSessionDidResignActiveNotification";

    explicit SystemSleepMonitor(QObject *parent = nullptr);

    // Whether the logind sleep signal is being listened to.
    bool isListening() const { return m_listening; }

private Q_SLOTS:
    void prepareForSleep(bool start);
    void sessionPropertiesChanged(const QString &interfaceName, const QVariantMap &changed,
                                  const QStringList &invalidated);

private:
    void watchOwnSession();
    bool sessionIsActive() const;

    QString m_sessionPath;
    bool m_listening = false;
};

} // namespace lq
