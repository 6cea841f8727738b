#include "document/ImportTarget.h"
#include "engines/LQEngineFactory.h"
#include "model/WrenRecording.h"
#include "platform/media/MediaInfo.h"

#include <chrono>

namespace {

constexpr std::chrono::seconds kLoadTimeLimit{20};

class RecordingImportTarget final : public ImportTarget
{
public:
    explicit RecordingImportTarget(WrenRecording &recording) : m_recording(recording) {}

    std::optional<ImportedMovie> open(const QString &path, lq::Error *error) override
    {
        return ImportedMovie::open(path, error);
    }
    void loadInBackground(const QString &path, const QObject *context,
                          std::function<void()> loaded) override
    {
        lq::MediaInfo::probeInBackground(
            {path}, kLoadTimeLimit, context,
            [loaded = std::move(loaded)](const QList<lq::ProbeResult> &) { loaded(); });
    }
    bool insert(const ImportedMovie &movie, int32_t k, bool replaceAll, lq::Error *error) override
    {
        return m_recording.insertMedia(movie, k, replaceAll, error);
    }
    // Only the modern player needs converted files.
    MediaPlayabilityCheck *playabilityCheck() const override
    {
        return LQEngineFactory::current().runTimeFamily() == LQEngineFactory::Family::Modern
                   ? m_recording.mediaPlayabilityCheck()
                   : nullptr;
    }
    OldMediaConversion *conversion() const override { return m_recording.oldMediaConversion(); }
    QString convertedFileFolder() const override { return m_recording.tempDir(); }

private:
    WrenRecording &m_recording;
};

} // namespace

std::unique_ptr<ImportTarget> makeRecordingImportTarget(WrenRecording &recording)
{
    return std::make_unique<RecordingImportTarget>(recording);
}
