#include "engines/legacy/WrenPlayerSession.h"

#include "engines/LQMediaCrop.h"
#include "engines/LQMediaExport.h"
#include "engines/legacy/WrenExportSettings.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/media/MediaInfo.h"
#include "platform/media/MovieTimelineHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QWidget>

#include <algorithm>

using namespace std::chrono_literals;

namespace {

constexpr std::chrono::seconds kProbeTimeLimit = 10s;

std::optional<lq::MediaInfo> probe(const QString &path, QString *failure)
{
    lq::Error error;
    std::optional<lq::MediaInfo> info = lq::MediaInfo::probe(path, kProbeTimeLimit, &error);
    if (!info && failure)
        *failure = error.localizedDescription();
    return info;
}

QString firstFreeMovieName(const QString &folder)
{
    const QDir dir(folder);
    for (int number = 0;; ++number) {
        const QString path = dir.filePath(QStringLiteral("playerTmp-%1.mov").arg(number));
        if (!QFileInfo::exists(path))
            return path;
    }
}

} // namespace

WrenPlayerSession::WrenPlayerSession() = default;

WrenPlayerSession::~WrenPlayerSession()
{
    reset();
}

void WrenPlayerSession::reset()
{
    m_movie.reset();
    m_movieFiles.clear();
    setPath(QString());
    setSubSessionLengths({});
    setTempDir(QString());
    removeTemporaryMovie();
}

void WrenPlayerSession::removeTemporaryMovie()
{
    if (!m_tmpMovieFile.isEmpty())
        QFile::remove(std::exchange(m_tmpMovieFile, QString()));
}

bool WrenPlayerSession::addMediaPaths(const QList<LQMediaElement> &elements)
{
    m_movie.reset();
    removeTemporaryMovie();
    if (elements.size() != 1 || !std::holds_alternative<QString>(elements.first()))
        return assemble(elements);
    const QString &path = std::get<QString>(elements.first());
    QString failure;
    const std::optional<lq::MediaInfo> info = probe(path, &failure);
    if (!info) {
        lq::log(QStringLiteral("Recording missing: %1:\n%2\n").arg(path, failure));
        return false;
    }
    m_movie = std::make_unique<lq::MovieTimeline>();
    m_movie->appendMedia(path, *info);
    return true;
}

bool WrenPlayerSession::assemble(const QList<LQMediaElement> &elements)
{
    const QString file = tempDir().isEmpty() ? QString() : firstFreeMovieName(tempDir());
    // The name is taken at once; every early answer removes the file again.
    QFile claim(file);
    if (file.isEmpty() || !claim.open(QIODevice::WriteOnly)) {
        lq::log(
            QStringLiteral("Could not create partialMovie, error = \n%1\n")
                .arg(file.isEmpty() ? QStringLiteral("no temporary folder") : claim.errorString()));
        return false;
    }
    claim.close();
    m_tmpMovieFile = file;

    lq::MovieTimeline timeline;
    bool inserted = false;
    const QList<double> lengths = subSessionLengths();
    for (qsizetype i = 0; i < elements.size(); ++i) {
        if (const auto *gap = std::get_if<std::shared_ptr<GapEntry>>(&elements[i])) {
            double seconds = 0.0;
            if (!*gap || !(*gap)->length(&seconds)) {
                lq::log(QStringLiteral("Program error. Trying to add empty space to a "
                                       "PlayerSession but cannot get length of that space.\n"));
                continue;
            }
            timeline.appendFiller(seconds);
            inserted = true;
            continue;
        }
        const QString &path = std::get<QString>(elements[i]);
        QString failure;
        if (const std::optional<lq::MediaInfo> info = probe(path, &failure)) {
            timeline.appendMedia(path, *info);
            inserted = true;
        } else if (lengths.size() >= i) {
            lq::log(QStringLiteral("Part of the recording missing: %1:\n%2\n").arg(path, failure));
            if (lengths.size() > i)
                timeline.appendMissing(lengths[i]);
        } else {
            lq::log(QStringLiteral("Could not create partialMovie, error = \n%1\n").arg(failure));
            removeTemporaryMovie();
            return false;
        }
    }
    lq::Error error;
    if (!timeline.write(file, &error) || !(m_movie = lq::MovieTimeline::read(file, &error))) {
        lq::log(QStringLiteral("Could not create partialMovie, error = \n%1\n")
                    .arg(error.localizedDescription()));
        removeTemporaryMovie();
        return false;
    }
    return inserted;
}

bool WrenPlayerSession::addMediaFiles(const QStringList &names, const QString &folder)
{
    if (folder.isNull())
        return false;
    if (m_movie && !m_movieFiles.isEmpty() && path() == folder && m_movieFiles == names)
        return true;
    m_movie.reset();
    setPath(folder);
    QList<LQMediaElement> paths;
    for (const QString &name : names)
        paths.append(QDir(folder).filePath(name));
    if (addMediaPaths(paths) && m_movie) {
        m_movieFiles = names;
        return true;
    }
    m_movieFiles.clear();
    setPath(QString());
    return false;
}

bool WrenPlayerSession::startPlaying(std::optional<double>, bool)
{
    return false;
}

void WrenPlayerSession::setPlayerView(QWidget *view)
{
    if (auto *host = dynamic_cast<lq::MovieTimelineHost *>(view))
        host->setTimeline(m_movie.get());
}

void WrenPlayerSession::setCurrentTime(double seconds)
{
    if (m_movie)
        m_movie->setCurrentTime(seconds);
}

bool WrenPlayerSession::trimFrom(std::optional<double> offset, QStringList *newFiles)
{
    const QString folder = path();
    const QStringList names = m_movieFiles;
    const bool loaded = m_movie && !folder.isEmpty() && !names.isEmpty();
    // The engine lets go of the files before they change, and is not used again.
    reset();
    return loaded && offset.value_or(0.0) >= 0.0 &&
           cropMediaFiles(folder, names, offset.value_or(0.0), newFiles);
}

bool WrenPlayerSession::exportMedia(const QString &destination, const QString &type,
                                    LQExportProgress &progress, std::optional<QSize> size)
{
    if (destination.isEmpty() || type.isEmpty() || !m_movie) {
        lq::log(QStringLiteral("Program error, cannot export media without a destination, an "
                               "export type and loaded media\n"));
        return false;
    }
    const std::optional<WrenExportSettings> settings =
        wrenExportSettings(type, m_movie->pictureSizes(), size);
    if (!settings) {
        lq::log(
            QStringLiteral("Program error, cannot export to %1, invalid file type\n").arg(type));
        return false;
    }
    m_movie->setPictureSizes(settings->pictureSizes);

    const QString silencePath = lq::Bundle::resourcePath(QStringLiteral("silence.wav"));
    lq::MediaInfo silence;
    const bool hasFillers = std::any_of(
        m_movie->segments().cbegin(), m_movie->segments().cend(),
        [](const lq::TimelineSegment &s) { return s.kind != lq::TimelineSegment::Kind::Media; });
    if (hasFillers) {
        QString failure;
        silence = probe(silencePath, &failure).value_or(lq::MediaInfo());
        if (silence.duration <= 0.0) {
            // Without it the gaps would vanish from the file written.
            lq::log(QStringLiteral("Program error, unable to find blank file\n"));
            LQMediaExport::reportFailure(
                QStringLiteral("Error writing export media file %1").arg(destination),
                lq::Error(QStringLiteral("media"), 0,
                          QStringLiteral("The program's silent sound file could not be read.")));
            return false;
        }
    }
    LQMediaExport run(progress);
    m_export = &run;
    const auto finished = qScopeGuard([this] { m_export = nullptr; });
    return run.write(m_movie->composition(silencePath, silence), settings->render, destination);
}

void WrenPlayerSession::cancelExporting()
{
    if (m_export)
        m_export->cancel();
}
