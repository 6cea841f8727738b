#include "support/FakePlaySession.h"

#include <utility>

namespace lq::test {

bool FakePlaySession::addMediaPaths(const QList<LQMediaElement> &elements)
{
    calls.append(QStringLiteral("addMediaPaths"));
    if (!script.addMediaPaths)
        return false;
    mediaElements = elements;
    return true;
}

bool FakePlaySession::addMediaFiles(const QStringList &names, const QString &folder)
{
    calls.append(QStringLiteral("addMediaFiles"));
    if (!script.addMediaFiles || m_playing)
        return false;
    mediaNames = names;
    mediaFolder = folder;
    setPath(folder);
    return true;
}

bool FakePlaySession::startPlaying(std::optional<double> offset, bool backwards)
{
    calls.append(QStringLiteral("startPlaying"));
    if (!script.startPlaying)
        return false;
    m_playing = true;
    startOffset = offset;
    startedBackwards = backwards;
    rate = backwards && !offset ? -1.0f : 1.0f;
    return true;
}

bool FakePlaySession::stopPlaying()
{
    calls.append(QStringLiteral("stopPlaying"));
    return std::exchange(m_playing, false);
}

bool FakePlaySession::setRate(float newRate)
{
    calls.append(QStringLiteral("setRate"));
    if (!m_playing)
        return false;
    rate = newRate;
    return true;
}

bool FakePlaySession::currentTime(double *seconds)
{
    calls.append(QStringLiteral("currentTime"));
    if (!m_playing || !script.currentTime)
        return false;
    *seconds = *script.currentTime;
    return true;
}

bool FakePlaySession::length(double *seconds)
{
    calls.append(QStringLiteral("length"));
    if (!script.length)
        return false;
    *seconds = *script.length;
    return true;
}

void FakePlaySession::setCurrentTime(double seconds)
{
    calls.append(QStringLiteral("setCurrentTime"));
    seeks.append(seconds);
}

bool FakePlaySession::trimFrom(std::optional<double> offset, QStringList *newFiles)
{
    calls.append(QStringLiteral("trimFrom"));
    trimOffset = offset;
    if (!script.trimmedFiles)
        return false;
    if (newFiles)
        *newFiles = *script.trimmedFiles;
    return true;
}

bool FakePlaySession::exportMedia(const QString &destination, const QString &type,
                                  LQExportProgress &, std::optional<QSize> size)
{
    calls.append(QStringLiteral("exportMedia"));
    exports.append({destination, type, size});
    if (onExport)
        onExport(*this);
    return script.exportMedia;
}

void FakePlaySession::cancelExporting()
{
    calls.append(QStringLiteral("cancelExporting"));
}

} // namespace lq::test
