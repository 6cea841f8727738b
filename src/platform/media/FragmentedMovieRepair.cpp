#include "platform/media/FragmentedMovieRepair.h"

#include "platform/foundation/FileOperations.h"
#include "platform/media/MovieData.h"
#include "platform/media/MovieHeader.h"
#include "platform/media/MovieIndex.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <algorithm>

namespace lq {
namespace {

using namespace movie;

enum ErrorCode { OpenFailed = 80, NotAMovie, Damaged, NothingToKeep, ReadFailed, WriteFailed };

Error repairError(int code, const QString &message)
{
    return Error(QStringLiteral("media"), code, message);
}

QString sentence(QString reason)
{
    reason = reason.trimmed();
    if (!reason.endsWith(QLatin1Char('.')))
        reason += QLatin1Char('.');
    return reason;
}

} // namespace

FragmentedMovieRepair::Outcome FragmentedMovieRepair::repair(const QString &path, Error *error)
{
    const QString name = QFileInfo(path).fileName();
    QFile movie(path);
    if (!movie.open(QIODevice::ReadOnly)) {
        setError(error, repairError(OpenFailed, QStringLiteral("The movie “%1” could not be "
                                                               "opened: %2")
                                                    .arg(name, sentence(movie.errorString()))));
        return Outcome::Failed;
    }
    const QString temporaryPath = temporaryPathBeside(path);
    QFile output(temporaryPath);
    if (!output.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        setError(error, repairError(WriteFailed, QStringLiteral("The repaired movie “%1” could "
                                                                "not be written: %2")
                                                     .arg(name, sentence(output.errorString()))));
        return Outcome::Failed;
    }
    Outcome outcome = repair(movie, output, name, error);
    if (outcome == Outcome::Repaired) {
        const bool stored = output.flush() && ::fsync(output.handle()) == 0;
        output.close();
        if (!stored) {
            setError(error,
                     repairError(WriteFailed, QStringLiteral("The repaired movie “%1” could not be "
                                                             "written: %2")
                                                  .arg(name, sentence(output.errorString()))));
            outcome = Outcome::Failed;
        } else if (!FileOperations::current().replace(temporaryPath, path, error)) {
            outcome = Outcome::Failed;
        }
    }
    output.close();
    if (outcome != Outcome::Repaired)
        QFile::remove(temporaryPath);
    return outcome;
}

FragmentedMovieRepair::Outcome FragmentedMovieRepair::repair(QIODevice &movie, QIODevice &output,
                                                             const QString &name, Error *error)
{
    const qint64 fileSize = movie.size();
    const MovieLayout layout = readMovieLayout(movie);
    const std::optional<Box> top = layout.header();
    if (!top) {
        setError(error, repairError(NotAMovie, QStringLiteral("The file “%1” is not a movie that "
                                                              "can be repaired.")
                                                   .arg(name)));
        return Outcome::Failed;
    }
    if (!layout.announcesFragments())
        return Outcome::NotNeeded;
    const Error damaged =
        repairError(Damaged, QStringLiteral("The movie “%1” is damaged beyond repair: its sample "
                                            "tables do not agree.")
                                 .arg(name));
    // Every complete fragment, up to the first that is cut off.
    std::optional<QList<MovieTrack>> tracks = readMovieTracks(movie, layout);
    DataSpan span;
    const bool inFile = tracks && std::all_of(tracks->begin(), tracks->end(), [&](const auto &t) {
                            return span.add(t.samples, fileSize);
                        });
    if (!inFile) {
        setError(error, damaged);
        return Outcome::Failed;
    }
    if (span.isEmpty()) {
        setError(error, repairError(NothingToKeep, QStringLiteral("The movie “%1” holds no "
                                                                  "complete sound or pictures "
                                                                  "to keep.")
                                                       .arg(name)));
        return Outcome::Failed;
    }
    // The samples' data is copied as one block behind the new mdat's header.
    const qint64 dataStart = layout.ftyp.size() + kWideMediaDataHeader;
    for (MovieTrack &track : *tracks) {
        for (TrackSample &sample : track.samples)
            sample.offset = sample.offset - span.begin() + uint64_t(dataStart);
    }
    const QByteArray header = writeMovieHeader(layout.moov, *top, *tracks);
    const QByteArray mdat = mediaDataHeader(span.size());
    CopyResult copied = CopyResult::WriteFailed;
    if (output.write(layout.ftyp) == layout.ftyp.size() && output.write(mdat) == mdat.size())
        copied = copySpan(movie, span, output);
    if (copied == CopyResult::Copied && output.write(header) != header.size())
        copied = CopyResult::WriteFailed;
    if (copied == CopyResult::ReadFailed) {
        setError(error, repairError(ReadFailed, QStringLiteral("The movie “%1” could not be "
                                                               "read: %2")
                                                    .arg(name, sentence(movie.errorString()))));
    } else if (copied == CopyResult::WriteFailed) {
        setError(error,
                 repairError(WriteFailed,
                             QStringLiteral("The repaired movie “%1” could not be written: %2")
                                 .arg(name, sentence(output.errorString()))));
    }
    return copied == CopyResult::Copied ? Outcome::Repaired : Outcome::Failed;
}

} // namespace lq
