#include "window/SlidesPages.h"

#include "platform/foundation/MainThread.h"
#include "platform/pdf/PdfDocument.h"

#include <QPointer>
#include <QThreadPool>

namespace {

// Enough for a few hundred slides at sidebar and window sizes.
constexpr qsizetype kCacheBytes = 256 * 1024 * 1024;

qsizetype costOf(const QImage &image)
{
    return std::max<qsizetype>(1, image.sizeInBytes());
}

} // namespace

std::shared_ptr<SlidesPages> SlidesPages::open(const QString &path, lq::Error *error)
{
    std::unique_ptr<lq::PdfDocument> document = lq::PdfDocument::open(path, error);
    if (!document)
        return nullptr;
    std::vector<QSizeF> sizes;
    sizes.reserve(static_cast<size_t>(document->pageCount()));
    for (int page = 0; page < document->pageCount(); ++page)
        sizes.push_back(document->pageSize(page));
    return std::shared_ptr<SlidesPages>(new SlidesPages(std::move(document), std::move(sizes)));
}

SlidesPages::SlidesPages(std::unique_ptr<lq::PdfDocument> document, std::vector<QSizeF> pageSizes)
    : m_document(std::move(document))
    , m_path(m_document->path())
    , m_pageSizes(std::move(pageSizes))
    , m_cache(kCacheBytes)
{}

SlidesPages::~SlidesPages() = default;

QSizeF SlidesPages::pageSize(int page) const
{
    if (page < 0 || page >= pageCount())
        return QSizeF();
    return m_pageSizes[static_cast<size_t>(page)];
}

QImage SlidesPages::cachedImage(int page, int width) const
{
    const std::lock_guard lock(m_cacheMutex);
    const QImage *image = m_cache.object(Key(page, width));
    return image ? *image : QImage();
}

QImage SlidesPages::image(int page, int width)
{
    if (QImage cached = cachedImage(page, width); !cached.isNull())
        return cached;
    QImage drawn;
    {
        const std::lock_guard lock(m_renderMutex);
        drawn = m_document->renderPage(page, width);
    }
    if (!drawn.isNull()) {
        const std::lock_guard lock(m_cacheMutex);
        m_cache.insert(Key(page, width), new QImage(drawn), costOf(drawn));
    }
    return drawn;
}

QList<QRectF> SlidesPages::matchesOnPage(int page, const QString &text)
{
    const std::lock_guard lock(m_renderMutex);
    return m_document->matchesOnPage(page, text);
}

void SlidesPages::requestImage(int page, int width, QObject *context,
                               std::function<void(QImage)> done)
{
    if (QImage cached = cachedImage(page, width); !cached.isNull()) {
        done(cached);
        return;
    }
    // The worker keeps the pages alive while it draws.
    QThreadPool::globalInstance()->start([pages = shared_from_this(), page, width,
                                          target = QPointer<QObject>(context),
                                          done = std::move(done)]() mutable {
        QImage drawn = pages->image(page, width);
        // The context is looked at only on the main thread, where it is destroyed.
        lq::postToMainThread(
            [target = std::move(target), done = std::move(done), drawn = std::move(drawn)] {
                if (target)
                    done(drawn);
            });
    });
}
