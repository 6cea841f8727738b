#include "document/LQOldMediaConverter.h"

#include "platform/foundation/BackgroundRun.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"
#include "platform/media/MediaFlattener.h"
#include "platform/media/MediaInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <cmath>

using namespace std::chrono_literals;

namespace {

constexpr std::chrono::seconds kProbeTimeLimit = 10s;
// Encoding takes far less than the length of the media; this much more is left for slow
// machines.
constexpr std::chrono::seconds kWriteTimeLimit = 60s;

std::chrono::milliseconds timeLimitFor(double seconds)
{
    return kWriteTimeLimit + std::chrono::seconds(std::llround(std::max(seconds, 0.0)));
}

} // namespace

LQOldMediaConverter::LQOldMediaConverter(QString temporaryFolder)
    : m_temporaryFolder(std::move(temporaryFolder))
{}

LQOldMediaConverter::~LQOldMediaConverter()
{
    cleanup();
}

bool LQOldMediaConverter::convertFile(const QString &path, int32_t)
{
    cleanup();
    if (m_temporaryFolder.isEmpty() || !QFileInfo(m_temporaryFolder).isDir())
        return false;
    const QString output =
        QDir(m_temporaryFolder)
            .filePath(QStringLiteral("converter-%1.mp4")
                          .arg(QRandomGenerator::global()->generate() % 1000000));
    lq::Error error;
    const std::optional<lq::MediaInfo> info = lq::MediaInfo::probe(path, kProbeTimeLimit, &error);
    const bool converted =
        info && lq::runInBackground([&] {
            return lq::MediaFlattener::flatten(path, output, timeLimitFor(info->duration), &error,
                                               lq::MediaFlattener::Encoding::ReEncodeAll);
        });
    if (!converted) {
        lq::log(
            QStringLiteral("Failed to convert %1: %2\n").arg(path, error.localizedDescription()));
        return false;
    }
    m_outputFile = output;
    return true;
}

bool LQOldMediaConverter::outputOpens(QString *error)
{
    lq::Error probeError;
    if (!m_outputFile.isEmpty() && lq::MediaInfo::probe(m_outputFile, kProbeTimeLimit, &probeError))
        return true;
    if (error) {
        *error = m_outputFile.isEmpty() ? QStringLiteral("Nothing has been converted.")
                                        : probeError.localizedDescription();
    }
    return false;
}

void LQOldMediaConverter::saveAsMovFile(const QString &destination)
{
    if (m_outputFile.isEmpty())
        return;
    lq::Error error;
    const std::optional<lq::MediaInfo> info =
        lq::MediaInfo::probe(m_outputFile, kProbeTimeLimit, &error);
    if (!info) {
        lq::log(QStringLiteral("Failed to read temp file while converting: %1")
                    .arg(error.localizedDescription()));
        lq::log(QStringLiteral("Error while converting, temporary file does not exist"));
        return;
    }
    if (QFileInfo(destination).isDir()) {
        lq::log(QStringLiteral("Error saving converted file to %1, it is a directory")
                    .arg(destination));
        return;
    }
    // Written beside the destination and moved over it only when complete.
    const QString output = m_outputFile;
    if (!lq::runInBackground([&] {
            return lq::MediaFlattener::flatten(output, destination, timeLimitFor(info->duration),
                                               &error);
        })) {
        lq::log(QStringLiteral("Failed to write out mov file %1 when converting: %2")
                    .arg(destination, error.localizedDescription()));
    }
}

void LQOldMediaConverter::cleanup()
{
    if (m_outputFile.isEmpty())
        return;
    lq::Error error;
    lq::FileOperations &files = lq::FileOperations::current();
    if (files.exists(m_outputFile) && !files.remove(m_outputFile, &error)) {
        lq::log(QStringLiteral("Failed to remove %1 while converting: %2")
                    .arg(m_outputFile, error.localizedDescription()));
    }
    m_outputFile.clear();
}
