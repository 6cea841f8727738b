// Recording errors: a restart of the failed recording, or the message on the note's window; and
// the alerts of the recording engines' low-level failures.
#include "document/DocumentWindowController.h"
#include "document/MyDocument.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/TimerService.h"
#include "platform/ui/AlertPresenter.h"

namespace {

constexpr double kRestartDelaySeconds = 2.0;
// A second error this soon after a restart is shown instead of retried.
constexpr double kLeastSecondsBetweenRestarts = 20.0;

} // namespace

void MyDocument::recordingErrorOccurred(const QString &message, bool shouldRetry)
{
    lq::runOnMainThread([&] { recordingErrorHelper(message, shouldRetry); });
}

void MyDocument::recordingErrorHelper(const QString &message, bool shouldRetry)
{
    const std::optional<ConsistentDate> last = lastErrorDate();
    if (!shouldRetry || (last && last->elapsed() < kLeastSecondsBetweenRestarts)) {
        lq::log(message + QLatin1Char('\n'));
        lq::AlertRequest alert;
        alert.messageText = message;
        if (QWidget *window = windowForSheet())
            lq::AlertPresenter::current().beginSheet(alert, window,
                                                     [](const lq::AlertResponse &) {});
        else
            lq::AlertPresenter::current().runModal(alert);
        return;
    }
    setLastErrorDate(ConsistentDate::now());
    lq::log(QStringLiteral("%1 Restarting recording.\n").arg(message));
    m_restartTimer = lq::TimerService::current().schedule(kRestartDelaySeconds, false,
                                                          [this] { restartRecordingNow(); });
}

void MyDocument::restartRecordingNow()
{
    // A closed note has no folder to record into.
    if (isClosed() || recording || !m_windowController)
        return;
    m_windowController->recordButtonPressed();
}

void MyDocument::lowLevelErrorOccurred(const lq::Notification &notification)
{
    const QVariant alert = notification.userInfo.value(QStringLiteral("alert"));
    if (!alert.canConvert<lq::AlertRequest>())
        return;
    const lq::AlertRequest request = alert.value<lq::AlertRequest>();
    if (lq::isMainThread())
        lq::AlertPresenter::current().runModal(request);
    else
        lq::postToMainThread(this, [request] { lq::AlertPresenter::current().runModal(request); });
}
