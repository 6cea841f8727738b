// Exporting a note's media and slides through the engines.
#include "engines/LQEngineFactory.h"
#include "engines/LQPlaySession.h"
#include "model/WrenRecording.h"
#include "platform/foundation/Log.h"

bool WrenRecording::exportMedia(const QString &destination, const QString &type,
                                LQExportProgress &progress, std::optional<QSize> size,
                                bool dropRecording)
{
    using Family = LQEngineFactory::Family;
    LQEngineFactory &factory = LQEngineFactory::current();
    const bool modern = factory.runTimeFamily() == Family::Modern && AVFPlayable();
    std::shared_ptr<LQPlaySession> engine =
        factory.makePlaybackEngine(modern ? Family::Modern : Family::Legacy);
    if (!engine) {
        lq::log(QStringLiteral("Program error, no playback engine to export media with\n"));
        return false;
    }
    engine->setTempDir(tempDir());
    QList<LQMediaElement> elements;
    if (dropRecording) {
        for (const SessionPtr &s : timerSessions())
            elements.append(std::static_pointer_cast<GapEntry>(s));
    } else {
        elements = allRecordingFilesWithEmpties();
    }
    m_exportSession = engine;
    const bool written =
        engine->addMediaPaths(elements) && engine->exportMedia(destination, type, progress, size);
    m_exportSession.reset();
    return written;
}

void WrenRecording::cancelExporting()
{
    if (m_exportSession)
        m_exportSession->cancelExporting();
}

bool WrenRecording::exportSlidesImagesToPath(const QString &folder) const
{
    return hasSlides() && m_slides.exportSlidesImagesToPath(folder);
}
