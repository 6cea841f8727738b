#include "document/NotesPrintOperation.h"

#include "document/MyDocument.h"
#include "platform/pdf/PdfDocument.h"
#include "platform/text/TextStorage.h"

#include <QPageSize>
#include <QPrinter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct PrintCase
{
    const char *name;
    int paragraphs;
    int minimumPages;
    int maximumPages;
};

TEST(NotesPrintOperationTest, PrintsACopyOfTheTextWithinInchMargins)
{
    const std::vector<PrintCase> cases = {
        {"one paragraph", 1, 1, 1},
        {"a long note", 150, 3, 20},
    };
    for (const PrintCase &c : cases) {
        SCOPED_TRACE(c.name);
        MyDocument document;
        QStringList lines;
        for (int i = 0; i < c.paragraphs; ++i)
            lines << QStringLiteral("Paragraph %1 of the lecture notes").arg(i + 1);
        document.textStorage().replaceCharacters({0, 0}, lines.join(QLatin1Char('\n')));
        const std::unique_ptr<NotesPrintOperation> operation = document.printOperation();
        // Changes after the operation was made are not printed.
        document.textStorage().replaceCharacters({0, 0}, QStringLiteral("Changed later "));

        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("notes.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printer.setPageSize(QPageSize(QPageSize::Letter));
        operation->print(printer);

        lq::Error error;
        const std::unique_ptr<lq::PdfDocument> pdf = lq::PdfDocument::open(path, &error);
        ASSERT_TRUE(pdf) << error.localizedDescription().toStdString();
        EXPECT_GE(pdf->pageCount(), c.minimumPages);
        EXPECT_LE(pdf->pageCount(), c.maximumPages);
        EXPECT_EQ(pdf->pageSize(0).toSize(), QSize(612, 792));
        EXPECT_EQ(pdf->countMatches(QStringLiteral("Changed later")), 0);
        const QString last = QStringLiteral("Paragraph %1 of").arg(c.paragraphs);
        EXPECT_EQ(pdf->countMatches(last), 1);
        const auto first =
            pdf->find(QStringLiteral("Paragraph 1 of"), lq::PdfDocument::SearchDirection::Forwards);
        ASSERT_TRUE(first);
        EXPECT_GE(first->bounds.left(), 71.0);
        EXPECT_GE(first->bounds.top(), 71.0);
        const auto end = pdf->find(last, lq::PdfDocument::SearchDirection::Forwards);
        ASSERT_TRUE(end);
        EXPECT_EQ(end->position.page, pdf->pageCount() - 1);
        EXPECT_LE(end->bounds.bottom(), 792.0 - 71.0);
    }
}

} // namespace
