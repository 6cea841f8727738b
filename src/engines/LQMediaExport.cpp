#include "engines/LQMediaExport.h"

#include "engines/LQExportProgress.h"
#include "platform/foundation/ClockSource.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AlertPresenter.h"

#include <QFileInfo>

using namespace std::chrono_literals;

namespace {

// How long the render is waited for between two turns of the progress window.
constexpr std::chrono::milliseconds kPollInterval = 50ms;

const QString kErrorDomain = QStringLiteral("exporting");
constexpr int kErrorCode = 10;

} // namespace

LQMediaExport::LQMediaExport(LQExportProgress &progress) : m_progress(progress)
{}

bool LQMediaExport::write(const lq::MediaComposition &timeline, const lq::RenderSettings &settings,
                          const QString &destination)
{
    if (m_cancelled)
        return false;
    if (QFileInfo(destination).isDir()) {
        reportFailure(
            QStringLiteral("Error, %1 currently exists and is a directory").arg(destination));
        return false;
    }
    const QString failure = QStringLiteral("Error writing export media file %1").arg(destination);
    lq::Error error;
    const std::unique_ptr<lq::MediaRender> render =
        lq::MediaRender::start(timeline, settings, destination, &error);
    if (!render) {
        reportFailure(failure, error);
        return false;
    }
    lq::MediaRender::State state = lq::MediaRender::State::Running;
    while (state == lq::MediaRender::State::Running) {
        showProgress(*render);
        m_progress.runModalSessionOnce();
        if (m_cancelled)
            render->cancel();
        state = render->poll(kPollInterval, &error);
    }
    if (state == lq::MediaRender::State::Failed)
        reportFailure(failure, error);
    return state == lq::MediaRender::State::Written;
}

void LQMediaExport::showProgress(const lq::MediaRender &render)
{
    const double fraction = render.progress();
    m_progress.setProgress(fraction);
    const uint64_t now = lq::ClockSource::current().monotonicNanoseconds();
    if (!m_started)
        m_started = now;
    const double elapsed = double(now - *m_started) / 1e9;
    if (const std::optional<QString> text = exportTimeRemainingText(fraction, elapsed))
        m_progress.setTimeRemainingText(*text);
}

void LQMediaExport::reportFailure(const QString &message, const lq::Error &cause)
{
    lq::Error error(kErrorDomain, kErrorCode, message);
    if (!cause.isNull())
        error = error.withUnderlyingError(cause);
    lq::log(QStringLiteral("%1: %2").arg(message, cause.localizedDescription()));
    lq::AlertRequest alert;
    alert.messageText = error.localizedDescription();
    if (const lq::Error *underlying = error.underlyingError())
        alert.informativeText = underlying->localizedDescription();
    lq::AlertPresenter::current().runModal(alert);
}
