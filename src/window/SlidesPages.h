#pragma once

#include "platform/foundation/Error.h"

#include <QCache>
#include <QImage>
#include <QList>
#include <QObject>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

namespace lq {
class PdfDocument;
}

// A slides PDF shared by the views that show it: its page sizes, read once, and its pages drawn
// at a given pixel width, kept in a cache per page and width. Drawing a page that is not cached
// runs on a worker thread, so a view never waits for the PDF layer. Any thread may ask.
class SlidesPages : public std::enable_shared_from_this<SlidesPages>
{
public:
    // Null, with error set, when the file is missing or holds no usable PDF.
    static std::shared_ptr<SlidesPages> open(const QString &path, lq::Error *error);
    ~SlidesPages();

    const QString &path() const { return m_path; }
    int pageCount() const { return static_cast<int>(m_pageSizes.size()); }
    // In points; empty for a page that does not exist.
    QSizeF pageSize(int page) const;

    // The page drawn at width pixels when it is cached; a null image otherwise.
    QImage cachedImage(int page, int width) const;
    // Draws the page at width pixels on a worker thread and hands the image to done on the
    // main thread, unless context is gone by then. A page drawn already is handed over at once.
    void requestImage(int page, int width, QObject *context, std::function<void(QImage)> done);
    // Draws the page now on the calling thread (and caches it).
    QImage image(int page, int width);
    // Where text occurs on page, case-insensitive, in reading order, in points from the page's
    // top left corner. Waits while a page is being drawn.
    QList<QRectF> matchesOnPage(int page, const QString &text);

private:
    using Key = std::pair<int, int>;
    SlidesPages(std::unique_ptr<lq::PdfDocument> document, std::vector<QSizeF> pageSizes);

    std::unique_ptr<lq::PdfDocument> m_document;
    QString m_path;
    std::vector<QSizeF> m_pageSizes;
    // The PDF layer draws one page at a time.
    std::mutex m_renderMutex;
    mutable std::mutex m_cacheMutex;
    QCache<Key, QImage> m_cache;
};
