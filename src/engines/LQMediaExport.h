#pragma once

#include "platform/foundation/Error.h"
#include "platform/media/MediaComposition.h"
#include "platform/media/MediaRender.h"

#include <QString>

#include <cstdint>
#include <optional>

class LQExportProgress;

// One media export as both engine families run it: the destination checked, the timeline
// rendered while the caller's progress window is served (its bar, the time remaining, its modal
// session with the cancel button), and a failure told in one alert. The render replaces the
// destination only once complete, so a failed or cancelled export keeps any file there. Main
// thread.
class LQMediaExport
{
public:
    explicit LQMediaExport(LQExportProgress &progress);

    // Writes timeline to destination as settings say. False when cancelled (nothing shown) or
    // failed (told in an alert).
    bool write(const lq::MediaComposition &timeline, const lq::RenderSettings &settings,
               const QString &destination);
    // Ends the export (asked through the progress window while it runs); it answers false.
    void cancel() { m_cancelled = true; }
    bool cancelled() const { return m_cancelled; }
    // Tells an export failure: the "exporting" error (code 10) with message as its description,
    // logged with its cause and shown in an alert whose informative text is the cause's.
    static void reportFailure(const QString &message, const lq::Error &cause = lq::Error());

private:
    void showProgress(const lq::MediaRender &render);

    LQExportProgress &m_progress;
    bool m_cancelled = false;
    std::optional<uint64_t> m_started; // monotonic nanoseconds at the first progress shown
};
