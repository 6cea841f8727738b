#include "app/LoggingAlertPresenter.h"

#include "platform/foundation/Log.h"

lq::AlertResponse LoggingAlertPresenter::runModal(const lq::AlertRequest &request)
{
    lq::log(QStringLiteral("Alert: %1 | %2\n").arg(request.messageText, request.informativeText));
    return {};
}

void LoggingAlertPresenter::beginSheet(const lq::AlertRequest &request, QWidget *,
                                       std::function<void(const lq::AlertResponse &)> done)
{
    const lq::AlertResponse response = runModal(request);
    if (done)
        done(response);
}
