#include "preferences/UpdateAlerts.h"

#include "platform/foundation/Bundle.h"
#include "platform/ui/AlertPresenter.h"
#include "platform/update/Updater.h"

UpdateAlerts::UpdateAlerts(lq::Updater &updater, QObject *parent) : QObject(parent)
{
    connect(&updater, &lq::Updater::checkFinished, this, &UpdateAlerts::show);
}

void UpdateAlerts::show(const lq::UpdateCheckResult &result)
{
    using Status = lq::UpdateCheckResult::Status;
    const QString name = lq::Bundle::name();
    lq::AlertRequest request;
    switch (result.status) {
    case Status::NewerVersionAvailable:
        request.style = lq::AlertRequest::Style::Informational;
        request.messageText = QStringLiteral("A new version of %1 is available.").arg(name);
        request.informativeText =
            QStringLiteral("%1 %2 is available; you have %3. Get it from %4, or install it with "
                           "your package manager.")
                .arg(name, result.newestVersion, result.currentVersion,
                     result.downloadURL.toDisplayString());
        break;
    case Status::UpToDate:
        if (!result.userInitiated)
            return;
        request.style = lq::AlertRequest::Style::Informational;
        request.messageText = QStringLiteral("You're up to date!");
        request.informativeText = QStringLiteral("%1 %2 is the newest version available.")
                                      .arg(name, result.currentVersion);
        break;
    case Status::Failed:
        if (!result.userInitiated)
            return;
        request.style = lq::AlertRequest::Style::Critical;
        request.messageText = QStringLiteral("Update Error!");
        request.informativeText = QStringLiteral("An error occurred while checking for updates: %1")
                                      .arg(result.failureReason);
        break;
    }
    lq::AlertPresenter::current().runModal(request);
}
