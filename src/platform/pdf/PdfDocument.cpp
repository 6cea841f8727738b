#include "platform/pdf/PdfDocument.h"

#include "platform/pdf/TemporaryOutputFile.h"

#include <QFile>

#include <poppler/qt6/poppler-qt6.h>

// qpdf's headers without the deprecated PointerHolder.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <exception>
#include <vector>

namespace lq {

namespace {

enum ErrorCode { OpenFailed = 1, WriteFailed = 2 };

Error pdfError(int code, QString description)
{
    return Error(QStringLiteral("pdf"), code, std::move(description));
}

Error openError(const QString &path, const QString &reason)
{
    return pdfError(
        OpenFailed,
        QStringLiteral("“%1” could not be opened as a PDF document: %2.").arg(path, reason));
}

QString exceptionText(const std::exception &exception)
{
    return QString::fromLocal8Bit(exception.what());
}

std::vector<QPDFPageObjectHelper> pagesOf(QPDF &pdf)
{
    return QPDFPageDocumentHelper(pdf).getAllPages();
}

} // namespace

// Poppler draws and searches; qpdf copies pages and writes. Both read the same file.
struct PdfDocument::Private
{
    QString path;
    std::unique_ptr<Poppler::Document> poppler;
    // Copying pages out of a document lets qpdf push inherited page attributes down, which
    // changes the in-memory objects but not what they mean.
    mutable QPDF qpdf;

    std::unique_ptr<Poppler::Page> page(int index) const
    {
        if (index < 0 || index >= poppler->numPages())
            return nullptr;
        return poppler->page(index);
    }
};

PdfDocument::PdfDocument(std::unique_ptr<Private> d) : d(std::move(d))
{}

PdfDocument::~PdfDocument() = default;

std::unique_ptr<PdfDocument> PdfDocument::open(const QString &path, Error *error)
{
    auto d = std::make_unique<Private>();
    d->path = path;
    d->qpdf.setSuppressWarnings(true);
    size_t qpdfPageCount = 0;
    try {
        d->qpdf.processFile(QFile::encodeName(path).constData());
        qpdfPageCount = pagesOf(d->qpdf).size();
    } catch (const std::exception &exception) {
        setError(error, openError(path, exceptionText(exception)));
        return nullptr;
    } catch (...) {
        setError(error, openError(path, QStringLiteral("unreadable contents")));
        return nullptr;
    }

    d->poppler = Poppler::Document::load(path);
    if (!d->poppler) {
        setError(error, openError(path, QStringLiteral("unreadable contents")));
        return nullptr;
    }
    if (d->poppler->isLocked()) {
        setError(error, openError(path, QStringLiteral("it is protected by a password")));
        return nullptr;
    }
    // Both readers repair damaged files, each in its own way; pages must mean the same to both.
    if (qpdfPageCount != static_cast<size_t>(d->poppler->numPages())) {
        setError(error, openError(path, QStringLiteral("its page list is damaged")));
        return nullptr;
    }
    d->poppler->setRenderHint(Poppler::Document::Antialiasing);
    d->poppler->setRenderHint(Poppler::Document::TextAntialiasing);
    return std::unique_ptr<PdfDocument>(new PdfDocument(std::move(d)));
}

const QString &PdfDocument::path() const
{
    return d->path;
}

int PdfDocument::pageCount() const
{
    return d->poppler->numPages();
}

QSizeF PdfDocument::pageSize(int page) const
{
    const auto popplerPage = d->page(page);
    return popplerPage ? popplerPage->pageSizeF() : QSizeF();
}

QImage PdfDocument::renderPage(int page, int width) const
{
    const auto popplerPage = d->page(page);
    if (!popplerPage || width <= 0)
        return QImage();
    const QSizeF points = popplerPage->pageSizeF();
    if (points.width() <= 0 || points.height() <= 0)
        return QImage();
    const int height = std::max(1, qRound(points.height() * width / points.width()));
    // Resolutions chosen so that the page fills exactly width x height pixels.
    const double xResolution = 72.0 * width / points.width();
    const double yResolution = 72.0 * height / points.height();
    return popplerPage->renderToImage(xResolution, yResolution, 0, 0, width, height);
}

int PdfDocument::countMatches(const QString &text) const
{
    if (text.isEmpty())
        return 0;
    int count = 0;
    for (int page = 0; page < pageCount(); ++page)
        count += matchesOnPage(page, text).size();
    return count;
}

QList<QRectF> PdfDocument::matchesOnPage(int page, const QString &text) const
{
    const auto popplerPage = text.isEmpty() ? nullptr : d->page(page);
    return popplerPage ? popplerPage->search(text, Poppler::Page::IgnoreCase) : QList<QRectF>();
}

std::optional<PdfTextMatch> PdfDocument::find(const QString &text, SearchDirection direction,
                                              std::optional<PdfTextPosition> from) const
{
    if (text.isEmpty() || pageCount() == 0)
        return std::nullopt;
    if (direction == SearchDirection::Forwards) {
        for (int page = from ? std::max(from->page, 0) : 0; page < pageCount(); ++page) {
            const QList<QRectF> matches = matchesOnPage(page, text);
            for (int index = 0; index < matches.size(); ++index) {
                const PdfTextPosition position{page, index};
                if (!from || position > *from)
                    return PdfTextMatch{position, matches[index]};
            }
        }
    } else {
        const int lastPage = pageCount() - 1;
        for (int page = from ? std::min(from->page, lastPage) : lastPage; page >= 0; --page) {
            const QList<QRectF> matches = matchesOnPage(page, text);
            for (int index = int(matches.size()) - 1; index >= 0; --index) {
                const PdfTextPosition position{page, index};
                if (!from || position < *from)
                    return PdfTextMatch{position, matches[index]};
            }
        }
    }
    return std::nullopt;
}

bool PdfDocument::writeWithPagesOf(const PdfDocument &other, Placement placement,
                                   const QString &destination, Error *error) const
{
    TemporaryOutputFile output(destination);
    if (!output.open(error))
        return false;
    try {
        const PdfDocument &first = placement == Placement::InFront ? other : *this;
        const PdfDocument &second = placement == Placement::InFront ? *this : other;
        // Pages are copied lazily: both source documents stay open until the write is done.
        QPDF merged;
        merged.setSuppressWarnings(true);
        merged.emptyPDF();
        QPDFPageDocumentHelper mergedPages(merged);
        for (const PdfDocument *source : {&first, &second}) {
            for (QPDFPageObjectHelper &page : pagesOf(source->d->qpdf))
                mergedPages.addPage(page, false);
        }
        // The writer keeps the description's pointer until it is done.
        const QByteArray description = QFile::encodeName(output.temporaryPath());
        QPDFWriter writer(merged);
        writer.setOutputFile(description.constData(), output.stream(), false);
        for (const PdfDocument *source : {&first, &second})
            writer.setMinimumPDFVersion(source->d->qpdf.getPDFVersion(),
                                        source->d->qpdf.getExtensionLevel());
        writer.write();
    } catch (const std::exception &exception) {
        setError(error, pdfError(WriteFailed, QStringLiteral("Could not write “%1”: %2.")
                                                  .arg(destination, exceptionText(exception))));
        return false;
    } catch (...) {
        setError(error,
                 pdfError(WriteFailed, QStringLiteral("Could not write “%1”.").arg(destination)));
        return false;
    }
    return output.commit(error);
}

} // namespace lq
