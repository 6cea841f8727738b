#pragma once

// PDF files made at test time. Pages get distinct sizes so that their order can be read back.

#include "platform/pdf/PdfDocument.h"

#include <QFile>
#include <QList>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSize>
#include <QStringList>

namespace lq::test {

// Writes a PDF with one page per size (in points); page i shows texts[i] when there is one.
inline bool writePdf(const QString &path, const QList<QSize> &pageSizes,
                     const QStringList &texts = {})
{
    if (pageSizes.isEmpty())
        return false;
    QPdfWriter writer(path);
    writer.setResolution(72);
    writer.setPageMargins(QMarginsF());
    const auto pageSizeOf = [](QSize points) {
        return QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch);
    };
    writer.setPageSize(pageSizeOf(pageSizes.first()));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    for (int page = 0; page < pageSizes.size(); ++page) {
        if (page > 0) {
            writer.setPageSize(pageSizeOf(pageSizes[page]));
            writer.newPage();
        }
        painter.fillRect(QRect(QPoint(0, 0), pageSizes[page]), QColor(30, 90, 160));
        painter.setPen(Qt::white);
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 14));
        if (page < texts.size())
            painter.drawText(QRect(QPoint(10, 10), pageSizes[page] - QSize(20, 20)),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, texts[page]);
    }
    return painter.end();
}

// Writes a PDF made of the given objects, numbered from 1, with a correct cross-reference
// table; object 1 is the catalog.
inline bool writePdfObjects(const QString &path, const QList<QByteArray> &objects)
{
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (int index = 0; index < objects.size(); ++index) {
        offsets.append(pdf.size());
        pdf += QByteArray::number(index + 1) + " 0 obj\n" + objects[index] + "\nendobj\n";
    }
    const qsizetype xrefOffset = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xrefOffset) + "\n%%EOF\n";
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(pdf) == pdf.size();
}

// A well-formed PDF that has no pages.
inline bool writePdfWithoutPages(const QString &path)
{
    return writePdfObjects(
        path, {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>"});
}

inline QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeContents(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// The page sizes of the PDF at path, rounded to whole points; empty when it does not open.
inline QList<QSize> pageSizesOf(const QString &path)
{
    const auto document = PdfDocument::open(path, nullptr);
    QList<QSize> sizes;
    for (int page = 0; document && page < document->pageCount(); ++page)
        sizes.append(document->pageSize(page).toSize());
    return sizes;
}

} // namespace lq::test
