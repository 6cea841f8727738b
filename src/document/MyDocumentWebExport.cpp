// The web export: the note as a folder of web pages that replays it in a browser.

#include "document/ExportProgressWindow.h"
#include "document/FolderZipArchive.h"
#include "document/InformationBar.h"
#include "document/LumaHTMLExporter.h"
#include "document/MyDocument.h"
#include "engines/LQExportProgress.h"
#include "engines/LQExportTypes.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/media/MovieFastStart.h"
#include "platform/pdf/PdfDocument.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

namespace {

const QString kMediaFileName = QStringLiteral("recording.mp4");
const QSize kVideoSize(320, 240);

lq::Error exportingError(const QString &description)
{
    return lq::Error(QLatin1String(LumaHTMLExporter::kErrorDomain), 0, description);
}

bool includes(const QVariantMap &include, const char *key)
{
    return include.value(QLatin1String(key)).toBool();
}

// The path with symbolic links resolved as far as it exists.
QString resolvedPath(const QString &path)
{
    QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    QString rest;
    while (!info.exists() && !info.isRoot()) {
        rest = QLatin1Char('/') + info.fileName() + rest;
        info = QFileInfo(info.absolutePath());
    }
    return QDir::cleanPath(info.canonicalFilePath() + rest);
}

// Whether one folder is the other or lies inside it.
bool overlaps(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QString first = resolvedPath(a);
    const QString second = resolvedPath(b);
    return first == second || first.startsWith(second + QLatin1Char('/')) ||
           second.startsWith(first + QLatin1Char('/'));
}

// Copies the player's script, style and images beside the page; a failed copy does not stop the
// others.
bool copyPlayerFiles(const QDir &folder, lq::Error *error)
{
    const QString playerFolder = lq::Bundle::resourcePath(QStringLiteral("web/webplayer"));
    const QFileInfoList playerFiles = QDir(playerFolder).entryInfoList(QDir::Files);
    if (playerFolder.isEmpty() || playerFiles.isEmpty()) {
        const lq::Error listing = exportingError(
            QCoreApplication::translate("MyDocument", "Failed to locate webplayer resources: %1")
                .arg(QCoreApplication::translate("MyDocument",
                                                 "The folder “web/webplayer” is missing from the "
                                                 "program's resources.")));
        lq::log(QStringLiteral("Failed to share: %1\n").arg(listing.localizedDescription()));
        lq::setError(error, listing);
        return false;
    }
    bool copied = true;
    for (const QFileInfo &file : playerFiles) {
        const QString destination = folder.filePath(file.fileName());
        QFile::remove(destination);
        QFile source(file.absoluteFilePath());
        if (source.copy(destination)) {
            QFile::setPermissions(destination, QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ReadGroup | QFile::ReadOther);
            continue;
        }
        const QString text =
            QCoreApplication::translate("MyDocument", "Failed to copy webplayer resource file: %1")
                .arg(source.errorString());
        lq::log(text + QLatin1Char('\n'));
        lq::setError(error, exportingError(text));
        copied = false;
    }
    return copied;
}

} // namespace

bool MyDocument::exportToHTML(const QString &folderPath, const QVariantMap &include,
                              lq::Error *error)
{
    if (recording || playing) {
        lq::setError(error, exportingError(tr("The note cannot be shared while it records or "
                                              "plays.")));
        return false;
    }
    if (overlaps(folderPath, fileUrl()) || overlaps(folderPath, tempRecordingDir)) {
        lq::setError(error,
                     exportingError(tr("Cannot share into a folder that contains this note.")));
        return false;
    }
    WrenRecording &recordingObject = *m_recordingObject;
    const std::unique_ptr<WrenEvents> events = recordingObject.events().eventsWithMergedSessions();
    LumaHTMLExporter page;
    page.inputString = m_textStorage.attributedString();
    page.inputEvents = events.get();

    const bool withSlides = includes(include, "htmlIncludesSlides") && recordingObject.hasSlides();
    if (withSlides) {
        lq::Error pdfError;
        const std::unique_ptr<lq::PdfDocument> slides =
            lq::PdfDocument::open(recordingObject.slidesFileName(), &pdfError);
        if (!slides) {
            lq::log(QStringLiteral("Failed to read slides\n"));
            lq::setError(error, exportingError(tr("Failed to read slides")));
            return false;
        }
        page.hasSlides = true;
        page.numberOfSlides = uint64_t(slides->pageCount());
    }
    const QString folderName = QFileInfo(QDir::cleanPath(folderPath)).fileName();
    page.title = fileUrl().isEmpty() ? folderName : QFileInfo(fileUrl()).completeBaseName();
    page.takenDateString =
        notesDateText().replace(QLatin1String("Today is"), QLatin1String("Notes from"));
    const double length = recordingObject.length();
    if (length > 0)
        page.recordedLengthString = information_bar::recordedText(length);
    page.hasAudio = length > 0;
    page.hasVideo = includes(include, "htmlIncludesVideo") && length > 0;
    const bool withOriginal = includes(include, "htmlIncludesOriginal");
    if (withOriginal)
        page.origFilename = folderName + QStringLiteral(".zip");

    lq::Error pageError;
    if (!page.exportToFile(folderPath, &pageError)) {
        lq::log(
            QStringLiteral("Failed to export HTML: %1\n").arg(pageError.localizedDescription()));
        lq::setError(
            error,
            exportingError(tr("Failed to export HTML: %1").arg(pageError.localizedDescription())));
        return false;
    }
    const QDir folder(folderPath);

    if (length > 0) {
        const QString media = folder.filePath(kMediaFileName);
        bool written = false;
        {
            ExportProgressWindow &progress = exportingProgressWindow();
            progress.beginModalSession();
            const auto end = qScopeGuard([&progress] { progress.endModalSession(); });
            written =
                page.hasVideo
                    ? recordingObject.exportMedia(media, kH264ExportType, progress, kVideoSize)
                    : recordingObject.exportMedia(media, kM4aExportType, progress, std::nullopt,
                                                  !includes(include, "htmlIncludesAudio"));
        }
        if (!written)
            return false;
        // A browser then seeks before the whole file has arrived; a local page plays without.
        lq::Error fastStartError;
        if (!lq::moveMovieIndexToFront(media, &fastStartError))
            lq::log(fastStartError.descriptionWithCause() + QLatin1Char('\n'));
    }

    if (withSlides && !recordingObject.exportSlidesImagesToPath(folderPath)) {
        const QString text = tr("Failed to export slides for HTML.");
        lq::log(text + QLatin1Char('\n'));
        lq::setError(error, exportingError(text));
        return false;
    }

    if (!copyPlayerFiles(folder, error))
        return false;
    if (!withOriginal)
        return true;

    const QString copy =
        QDir(tempRecordingDir).filePath(page.title + QLatin1Char('.') + kFileExtension);
    QFile::remove(copy);
    QDir(copy).removeRecursively();
    lq::Error saveError;
    bool zipped = saveToUrl(copy, lq::SaveOperation::SaveTo, &saveError);
    if (!zipped) {
        lq::log(QStringLiteral("Failed to save original file - %1\n")
                    .arg(saveError.localizedDescription()));
        lq::setError(error, saveError);
    } else if (lq::Error zipError;
               !zipFolder(copy, folder.filePath(*page.origFilename), &zipError)) {
        lq::log(QStringLiteral("%1\n").arg(zipError.descriptionWithCause()));
        lq::setError(error, zipError);
        zipped = false;
    }
    QDir(copy).removeRecursively();
    return zipped;
}
