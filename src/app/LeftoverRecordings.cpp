#include "app/LeftoverRecordings.h"

#include "engines/LQMediaFileNames.h"
#include "platform/foundation/Log.h"
#include "platform/media/FragmentedMovieRepair.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The recorded media of folder that package lacks or holds shorter copies of, oldest first.
QFileInfoList unsavedMedia(const QString &folder, const QString &package)
{
    QFileInfoList found;
    const QFileInfoList files =
        QDir(folder).entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Time | QDir::Reversed);
    for (const QFileInfo &file : files) {
        if (!LQMediaFileNames::isMediaFileName(file.fileName()))
            continue;
        const QFileInfo stored(QDir(package).filePath(file.fileName()));
        if (!package.isEmpty() && stored.isFile() && stored.size() >= file.size())
            continue;
        found.append(file);
    }
    return found;
}

// The media that can be read, each repaired first; the others are logged and left out.
LeftoverRecording readable(const QFileInfoList &media)
{
    LeftoverRecording left;
    for (const QFileInfo &file : media) {
        // Before the repair, which writes the file anew.
        const QDateTime written = file.lastModified();
        lq::Error error;
        std::optional<ImportedMovie> movie;
        if (lq::FragmentedMovieRepair::repair(file.filePath(), &error) !=
            lq::FragmentedMovieRepair::Outcome::Failed)
            movie = ImportedMovie::open(file.filePath(), &error);
        if (!movie || !(movie->hasAudio || movie->hasVideo) || movie->length <= 0.0) {
            lq::log(QStringLiteral("%1, left by a crash, holds nothing that can be played. %2\n")
                        .arg(file.filePath(), error.localizedDescription()));
            continue;
        }
        const QDateTime began = written.addMSecs(-qint64(movie->length * 1000.0));
        if (!left.began.isValid() || began < left.began)
            left.began = began;
        left.length += movie->length;
        left.media.push_back(*movie);
    }
    return left;
}

} // namespace

LeftoverRecordings LeftoverRecordings::find(const QString &cacheFolder)
{
    LeftoverRecordings found;
    const QDir cache(cacheFolder);
    for (const QString &name : cache.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (!TemporaryFolderClaim::isFolderName(name))
            continue;
        const QString folder = cache.filePath(name);
        bool heldElsewhere = false;
        std::unique_ptr<TemporaryFolderClaim> claim =
            TemporaryFolderClaim::take(folder, &heldElsewhere);
        if (!claim) {
            if (heldElsewhere)
                found.packagesInUse.append(TemporaryFolderClaim::packageOf(folder));
            continue;
        }
        LeftoverRecording left =
            readable(unsavedMedia(folder, TemporaryFolderClaim::packageOf(folder)));
        if (left.media.empty()) {
            if (!QDir(folder).removeRecursively())
                lq::log(QStringLiteral("Could not remove the temporary folder %1.\n").arg(folder));
            continue;
        }
        left.claim = std::move(claim);
        found.recordings.push_back(std::move(left));
    }
    return found;
}
