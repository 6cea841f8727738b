// The export of today's playback engine: its timeline rendered as the export type's plan says,
// or handed to the legacy family for what it does not write.
#include "engines/LQEngineFactory.h"
#include "engines/LQMediaExport.h"
#include "engines/avf/LQExportPlan.h"
#include "engines/avf/LQPlayerSession.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/MediaInfo.h"

#include <QScopeGuard>

#include <algorithm>

using namespace std::chrono_literals;

namespace {

// The files are read in parallel, each within its own time limit.
constexpr std::chrono::seconds kLoadTimeLimit = 60s;

} // namespace

LQExportFacts LQPlayerSession::exportFacts(std::optional<QSize> size) const
{
    const QList<lq::CompositionTrack> &tracks = m_composition->tracks();
    LQExportFacts facts;
    facts.appKitVersion = lq::Bundle::kAppKitVersionNumber;
    facts.pathCount = m_moviePaths.size();
    facts.allSoundAac =
        std::all_of(tracks.cbegin(), tracks.cend(), [](const lq::CompositionTrack &track) {
            return track.kind != lq::CompositionTrack::Kind::Audio ||
                   track.codec == lq::CodecId::kAac;
        });
    facts.hasPictures =
        std::any_of(tracks.cbegin(), tracks.cend(), [](const lq::CompositionTrack &track) {
            return track.kind == lq::CompositionTrack::Kind::Video;
        });
    facts.naturalSize = m_composition->naturalSize();
    facts.size = size;
    return facts;
}

bool LQPlayerSession::exportMedia(const QString &destination, const QString &type,
                                  LQExportProgress &progress, std::optional<QSize> size)
{
    if (destination.isEmpty() || type.isEmpty() || (!m_composition && !m_loading)) {
        lq::log(QStringLiteral("Program error, cannot export media without a destination, an "
                               "export type and loaded media\n"));
        return false;
    }
    LQMediaExport run(progress);
    m_export = &run;
    const auto finished = qScopeGuard([this] { m_export = nullptr; });
    lq::runEventLoopUntil([&] { return !m_loading || run.cancelled(); }, kLoadTimeLimit);
    if (run.cancelled())
        return false;
    if (!m_composition) {
        LQMediaExport::reportFailure(
            QStringLiteral("Error writing export media file %1").arg(destination),
            lq::Error(QStringLiteral("media"), 0,
                      QStringLiteral("None of the media files could be read.")));
        return false;
    }
    const LQExportFacts facts = exportFacts(size);
    const LQExportPlan plan = planExport(type, facts);
    if (plan.path == LQExportPlan::Path::Modern)
        return run.write(*m_composition, renderSettingsFor(plan, facts), destination);
    return exportThroughFallback(destination, type, progress, size);
}

bool LQPlayerSession::exportThroughFallback(const QString &destination, const QString &type,
                                            LQExportProgress &progress, std::optional<QSize> size)
{
    std::unique_ptr<LQPlaySession> engine =
        LQEngineFactory::current().makePlaybackEngine(LQEngineFactory::Family::Legacy);
    if (!engine) {
        lq::log(QStringLiteral("Program error, no engine to export %1 with\n").arg(type));
        return false;
    }
    engine->setTempDir(tempDir());
    m_fallback = engine.get();
    const auto finished = qScopeGuard([this] { m_fallback = nullptr; });
    // The fallback engine tells its own failures: none is told here.
    return engine->addMediaPaths(m_moviePaths) &&
           engine->exportMedia(destination, type, progress, size);
}

void LQPlayerSession::cancelExporting()
{
    if (m_export)
        m_export->cancel();
    if (m_fallback)
        m_fallback->cancelExporting();
}
