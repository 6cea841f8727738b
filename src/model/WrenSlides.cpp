#include "model/WrenSlides.h"

#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"
#include "platform/pdf/PdfDocument.h"
#include "platform/ui/AlertPresenter.h"
#include "shared/FileKinds.h"

#include <QFile>
#include <QImage>

#include <sys/stat.h>

#include <cerrno>

namespace {

constexpr int kSmallPictureWidth = 320;

void showCopyFailure(const lq::Error &error)
{
    lq::AlertRequest request;
    request.messageText =
        QStringLiteral("Error copying PDF: %1.").arg(error.localizedDescription());
    request.buttons = {QStringLiteral("OK")};
    lq::AlertPresenter::current().runModal(request);
}

// Creates one folder; fails when it exists or its parent does not.
bool makeFolder(const QString &path, QString *failure)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0)
        return true;
    *failure = QStringLiteral("The folder “%1” could not be created: %2.")
                   .arg(path, qt_error_string(errno));
    return false;
}

} // namespace

bool WrenSlides::addSlides(const QString &newPath, int mode)
{
    if (m_path.isEmpty())
        return false;
    const std::optional<QString> resolved = resolveSymlinks(newPath);
    if (!resolved) {
        lq::log(QStringLiteral("Could not resolve %1\n").arg(newPath));
        return false;
    }
    if (!lq::FileOperations::current().exists(*resolved))
        return false;
    if (!isSlidesFile(*resolved)) {
        lq::log(QStringLiteral("Could not add slides, file is not a PDF\n"));
        return false;
    }
    const std::unique_ptr<lq::PdfDocument> document = lq::PdfDocument::open(*resolved, nullptr);
    if (!document)
        return false;
    if (document->pageCount() == 0) {
        lq::log(QStringLiteral("Could not add slides, the PDF has no pages\n"));
        return false;
    }
    return mode == kReplaceMode ? replaceSlides(*resolved) : mergeSlides(*resolved, mode);
}

// The copy is made under a temporary name and moved over the slides only when complete.
bool WrenSlides::replaceSlides(const QString &newPath)
{
    lq::FileOperations &files = lq::FileOperations::current();
    const QString copy = lq::temporaryPathBeside(m_path);
    lq::Error error;
    if (files.copy(newPath, copy, &error) && files.replace(copy, m_path, &error))
        return true;
    if (files.exists(copy))
        files.remove(copy, nullptr);
    showCopyFailure(error);
    return false;
}

// Works on copies of both files and writes the result under a temporary name, moved over the
// slides only when complete.
bool WrenSlides::mergeSlides(const QString &newPath, int mode)
{
    lq::FileOperations &files = lq::FileOperations::current();
    const QString oldCopy = m_path + QLatin1String(".old");
    const QString newCopy = m_path + QLatin1String(".new");
    // Left over by an interrupted merge, they would block the copies.
    removeMergeCopies(oldCopy, newCopy);

    bool merged = false;
    lq::Error error;
    if (!files.copy(m_path, oldCopy, &error)) {
        lq::log(QStringLiteral("Failed to copy old slides file, %1\n")
                    .arg(error.localizedDescription()));
    } else if (!files.copy(newPath, newCopy, &error)) {
        showCopyFailure(error);
    } else {
        const auto oldDocument = lq::PdfDocument::open(oldCopy, nullptr);
        const auto newDocument = lq::PdfDocument::open(newCopy, nullptr);
        if (!oldDocument || !newDocument) {
            lq::log(QStringLiteral("Failed to parse pdf\n"));
        } else {
            const auto placement = mode == kInsertInFrontMode ? lq::PdfDocument::Placement::InFront
                                                              : lq::PdfDocument::Placement::After;
            merged = oldDocument->writeWithPagesOf(*newDocument, placement, m_path, &error);
            if (!merged)
                lq::log(QStringLiteral("Failed to write merged slides, %1\n")
                            .arg(error.localizedDescription()));
        }
    }
    removeMergeCopies(oldCopy, newCopy);
    return merged;
}

void WrenSlides::removeMergeCopies(const QString &oldCopy, const QString &newCopy) const
{
    lq::FileOperations &files = lq::FileOperations::current();
    lq::Error error;
    if (files.exists(oldCopy) && !files.remove(oldCopy, &error))
        lq::log(QStringLiteral("Could not remove old slides file: %1\n")
                    .arg(error.localizedDescription()));
    if (files.exists(newCopy) && !files.remove(newCopy, &error))
        lq::log(QStringLiteral("Failed to remove temporary PDF file, continuing: %1\n")
                    .arg(error.localizedDescription()));
}

void WrenSlides::removeSlides()
{
    if (!m_path.isEmpty())
        lq::FileOperations::current().remove(m_path, nullptr);
}

bool WrenSlides::exportSlidesImagesToPath(const QString &folder) const
{
    const auto document = lq::PdfDocument::open(m_path, nullptr);
    if (!document) {
        lq::log(QStringLiteral("Failed to create image representation of slides.\n"));
        return false;
    }
    const QString slidesFolder = folder + QLatin1String("/slides");
    const QString fullSizeFolder = slidesFolder + QLatin1String("/fullsize");
    QString failure;
    if (!makeFolder(slidesFolder, &failure) || !makeFolder(fullSizeFolder, &failure)) {
        lq::log(QStringLiteral("While exporting, failed to create directory for slides: %1\n")
                    .arg(failure));
        return false;
    }
    for (int number = 1; number <= document->pageCount(); ++number) {
        const int fullWidth = qRound(document->pageSize(number - 1).width());
        const std::pair<QString, int> pictures[] = {{fullSizeFolder, fullWidth},
                                                    {slidesFolder, kSmallPictureWidth}};
        for (const auto &[pictureFolder, width] : pictures) {
            const QString file = QStringLiteral("%1/%2.png").arg(pictureFolder).arg(number);
            if (!document->renderPage(number - 1, width).save(file, "PNG")) {
                lq::log(
                    QStringLiteral("While exporting, failed to create slides file %1\n").arg(file));
                return false;
            }
        }
    }
    return true;
}
