#pragma once

#include "platform/foundation/Error.h"

#include <QImage>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <compare>
#include <memory>
#include <optional>

namespace lq {

// Where a text match lies: its page (from 0) and its rank among that page's matches in
// reading order (from 0). Positions order as the text reads through the document.
struct PdfTextPosition
{
    int page = 0;
    int matchOnPage = 0;

    // Spelled out rather than defaulted: the qpdf headers do not build with clang 14 in C++20,
    // so under clang this library's sources are compiled as C++17.
    bool operator==(const PdfTextPosition &other) const
    {
        return page == other.page && matchOnPage == other.matchOnPage;
    }
    bool operator!=(const PdfTextPosition &other) const { return !(*this == other); }
    bool operator<(const PdfTextPosition &other) const
    {
        return page != other.page ? page < other.page : matchOnPage < other.matchOnPage;
    }
    bool operator>(const PdfTextPosition &other) const { return other < *this; }
};

struct PdfTextMatch
{
    PdfTextPosition position;
    QRectF bounds; // in points, from the page's top left corner
};

// A PDF file opened for reading: page sizes, page images, text search, and new files made of
// its pages and another document's. Not safe for use from two threads at once.
class PdfDocument
{
public:
    enum class SearchDirection { Forwards, Backwards };
    enum class Placement { InFront, After };

    // Fails with an error when the file cannot be read or holds no usable PDF document.
    static std::unique_ptr<PdfDocument> open(const QString &path, Error *error);
    ~PdfDocument();
    PdfDocument(const PdfDocument &) = delete;
    PdfDocument &operator=(const PdfDocument &) = delete;

    const QString &path() const;
    int pageCount() const;
    // In points, with the page's rotation applied; empty for a page that does not exist.
    QSizeF pageSize(int page) const;
    // The page drawn at width pixels and the height that keeps its proportions; one pixel per
    // point at its own width. A null image for a page that does not exist or cannot be drawn.
    QImage renderPage(int page, int width) const;

    // Case-insensitive occurrences of text in the whole document.
    int countMatches(const QString &text) const;
    // Where text occurs on page, case-insensitive, in reading order, in points from the page's
    // top left corner; none for an empty text or a page that does not exist.
    QList<QRectF> matchesOnPage(int page, const QString &text) const;
    // The first case-insensitive occurrence of text strictly after from (before it, backwards).
    // Without from the search starts at the document's start (its end, backwards). The search
    // does not wrap: past the last (first) match it answers nullopt, and the caller wraps by
    // searching again without from.
    std::optional<PdfTextMatch> find(const QString &text, SearchDirection direction,
                                     std::optional<PdfTextPosition> from = std::nullopt) const;

    // Writes a new file at destination holding this document's pages with other's pages in
    // front of or after them, each in its own order. The file is written under a temporary
    // name and moved onto destination only when complete; on failure destination is untouched.
    bool writeWithPagesOf(const PdfDocument &other, Placement placement, const QString &destination,
                          Error *error) const;

private:
    struct Private;
    explicit PdfDocument(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};

} // namespace lq
