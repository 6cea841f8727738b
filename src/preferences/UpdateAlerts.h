#pragma once

#include <QObject>

namespace lq {
class Updater;
struct UpdateCheckResult;
} // namespace lq

// Tells the user what an update check found: a newer version and where to get it, or, for a
// check the user asked for, that the program is up to date or that the check failed.
class UpdateAlerts : public QObject
{
    Q_OBJECT
public:
    explicit UpdateAlerts(lq::Updater &updater, QObject *parent = nullptr);

private:
    void show(const lq::UpdateCheckResult &result);
};
