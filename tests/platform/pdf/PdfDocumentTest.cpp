#include "platform/pdf/PdfDocument.h"

#include "platform/foundation/FileOperations.h"
#include "platform/pdf/PdfTestFiles.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace lq {
namespace {

using test::contentsOf;
using test::pageSizesOf;
using test::writeContents;
using test::writePdf;
using testing::ElementsAre;

class PdfDocumentTest : public testing::Test
{
protected:
    QString pathOf(const QString &name) const { return folder.filePath(name); }

    // A document with one page per size, the page sizes standing in for page names.
    std::unique_ptr<PdfDocument> makeDocument(const QString &name, const QList<QSize> &sizes,
                                              const QStringList &texts = {})
    {
        EXPECT_TRUE(writePdf(pathOf(name), sizes, texts));
        Error error;
        auto document = PdfDocument::open(pathOf(name), &error);
        EXPECT_TRUE(document) << qPrintable(error.localizedDescription());
        return document;
    }

    QStringList filesInFolder() const
    {
        return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    }

    QTemporaryDir folder;
};

TEST_F(PdfDocumentTest, ReportsPageSizesInPointsAndRendersThemAtTheAskedWidth)
{
    const auto document = makeDocument("a.pdf", {{720, 540}, {595, 842}});
    ASSERT_TRUE(document);
    EXPECT_EQ(document->pageCount(), 2);
    EXPECT_EQ(document->pageSize(0), QSizeF(720, 540));
    EXPECT_EQ(document->pageSize(1), QSizeF(595, 842));
    for (int outside : {2, -1}) {
        EXPECT_TRUE(document->pageSize(outside).isEmpty());
        EXPECT_TRUE(document->renderPage(outside, 320).isNull());
    }
    struct Case
    {
        int page;
        int width;
        QSize expected;
    };
    for (const Case &c : {Case{0, 720, {720, 540}}, Case{0, 320, {320, 240}},
                          Case{1, 595, {595, 842}}, Case{1, 320, {320, 453}}, Case{0, 1, {1, 1}}}) {
        const QImage image = document->renderPage(c.page, c.width);
        EXPECT_EQ(image.size(), c.expected) << "page " << c.page << " width " << c.width;
    }
    // The fill drawn by the test writer, not blank paper.
    const QImage image = document->renderPage(0, 320);
    EXPECT_EQ(image.pixelColor(160, 120).toRgb(), QColor(30, 90, 160));
    EXPECT_TRUE(document->renderPage(0, 0).isNull());
}

class PdfSearchTest : public PdfDocumentTest
{
protected:
    void SetUp() override
    {
        document = makeDocument("text.pdf", {{400, 300}, {410, 300}, {420, 300}},
                                {"Alpha one and alpha two", "nothing here", "third ALPHA"});
        ASSERT_TRUE(document);
    }

    // Every position a walk through the document visits, starting without a position.
    QList<PdfTextPosition> walk(PdfDocument::SearchDirection direction) const
    {
        QList<PdfTextPosition> positions;
        std::optional<PdfTextPosition> from;
        while (const auto match = document->find(QStringLiteral("aLpHa"), direction, from)) {
            positions.append(match->position);
            from = match->position;
        }
        return positions;
    }

    std::unique_ptr<PdfDocument> document;
};

TEST_F(PdfSearchTest, CountsAndFindsIgnoringCase)
{
    EXPECT_EQ(document->countMatches(QStringLiteral("alpha")), 3);
    EXPECT_EQ(document->countMatches(QStringLiteral("NOTHING")), 1);
    EXPECT_EQ(document->countMatches(QStringLiteral("omega")), 0);
    EXPECT_EQ(document->countMatches(QString()), 0);
    for (const auto direction :
         {PdfDocument::SearchDirection::Forwards, PdfDocument::SearchDirection::Backwards}) {
        EXPECT_FALSE(document->find(QString(), direction));
        EXPECT_FALSE(document->find(QStringLiteral("omega"), direction));
    }

    const auto match =
        document->find(QStringLiteral("third"), PdfDocument::SearchDirection::Forwards);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->position, (PdfTextPosition{2, 0}));
    EXPECT_FALSE(match->bounds.isEmpty());
    EXPECT_TRUE(QRectF(0, 0, 420, 300).contains(match->bounds));
    EXPECT_LT(match->bounds.top(), 60); // the text sits at the page's top
}

TEST_F(PdfSearchTest, WalksWithoutWrappingFromAnyPosition)
{
    using Direction = PdfDocument::SearchDirection;
    EXPECT_THAT(walk(Direction::Forwards),
                ElementsAre(PdfTextPosition{0, 0}, PdfTextPosition{0, 1}, PdfTextPosition{2, 0}));
    EXPECT_THAT(walk(Direction::Backwards),
                ElementsAre(PdfTextPosition{2, 0}, PdfTextPosition{0, 1}, PdfTextPosition{0, 0}));

    struct Case
    {
        Direction direction;
        PdfTextPosition from;
        std::optional<PdfTextPosition> expected;
    };
    const Case cases[] = {
        {Direction::Forwards, {1, 0}, PdfTextPosition{2, 0}},
        {Direction::Forwards, {0, -1}, PdfTextPosition{0, 0}},
        {Direction::Forwards, {2, 0}, std::nullopt},
        {Direction::Forwards, {7, 0}, std::nullopt},
        {Direction::Backwards, {1, 5}, PdfTextPosition{0, 1}},
        {Direction::Backwards, {7, 0}, PdfTextPosition{2, 0}},
        {Direction::Backwards, {0, 0}, std::nullopt},
    };
    for (const Case &c : cases) {
        const auto match = document->find(QStringLiteral("alpha"), c.direction, c.from);
        EXPECT_EQ(match ? std::optional(match->position) : std::nullopt, c.expected)
            << "from page " << c.from.page << " match " << c.from.matchOnPage;
    }
}

TEST_F(PdfDocumentTest, RefusesWhatIsNoReadablePdf)
{
    QByteArray noise(4096, Qt::Uninitialized);
    QRandomGenerator random(7);
    random.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QDir(folder.path()).mkdir("folder.pdf");

    const QList<std::pair<QString, QByteArray>> files{
        {"noise.pdf", noise},
        {"header-then-noise.pdf", "%PDF-1.4\n" + noise},
        {"empty.pdf", QByteArray()},
        {"text.pdf", "This is no PDF at all.\n"},
    };
    for (const auto &[name, contents] : files)
        ASSERT_TRUE(writeContents(pathOf(name), contents));
    // Page trees that loop or claim more pages than they hold.
    const QByteArray page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] >>";
    ASSERT_TRUE(test::writePdfObjects(pathOf("loop.pdf"),
                                      {"<< /Type /Catalog /Pages 2 0 R >>",
                                       "<< /Type /Pages /Kids [2 0 R 3 0 R] /Count 2 >>", page}));
    ASSERT_TRUE(test::writePdfObjects(
        pathOf("count.pdf"),
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 4 >>", page}));

    QStringList paths{pathOf("folder.pdf"), pathOf("missing.pdf"), pathOf("loop.pdf"),
                      pathOf("count.pdf")};
    for (const auto &file : files)
        paths.append(pathOf(file.first));
    for (const QString &path : paths) {
        Error error;
        EXPECT_FALSE(PdfDocument::open(path, &error)) << qPrintable(path);
        EXPECT_EQ(error.domain(), "pdf");
        EXPECT_TRUE(error.localizedDescription().contains(path))
            << qPrintable(error.localizedDescription());
    }
}

TEST_F(PdfDocumentTest, RefusesAFileCutShortAnywhere)
{
    ASSERT_TRUE(
        writePdf(pathOf("good.pdf"), {{300, 200}, {310, 200}, {320, 200}}, {"a", "b", "c"}));
    const QByteArray good = contentsOf(pathOf("good.pdf"));
    const qsizetype trailer = good.lastIndexOf("trailer");
    ASSERT_GT(trailer, 0);
    for (qsizetype length = 0; length < trailer; length += std::max<qsizetype>(1, trailer / 97)) {
        ASSERT_TRUE(writeContents(pathOf("cut.pdf"), good.left(length)));
        EXPECT_FALSE(PdfDocument::open(pathOf("cut.pdf"), nullptr)) << "cut at " << length;
    }
}

class PdfMergeTest : public PdfDocumentTest
{
protected:
    void SetUp() override
    {
        base = makeDocument("base.pdf", {{300, 200}, {310, 200}, {320, 200}});
        added = makeDocument("added.pdf", {{400, 500}, {410, 500}});
        ASSERT_TRUE(base && added);
    }

    std::unique_ptr<PdfDocument> base;
    std::unique_ptr<PdfDocument> added;
};

TEST_F(PdfMergeTest, PutsTheOtherPagesInFrontOrAfter)
{
    Error error;
    ASSERT_TRUE(base->writeWithPagesOf(*added, PdfDocument::Placement::InFront, pathOf("front.pdf"),
                                       &error))
        << qPrintable(error.localizedDescription());
    ASSERT_TRUE(
        base->writeWithPagesOf(*added, PdfDocument::Placement::After, pathOf("after.pdf"), &error))
        << qPrintable(error.localizedDescription());

    EXPECT_THAT(pageSizesOf(pathOf("front.pdf")),
                ElementsAre(QSize(400, 500), QSize(410, 500), QSize(300, 200), QSize(310, 200),
                            QSize(320, 200)));
    EXPECT_THAT(pageSizesOf(pathOf("after.pdf")),
                ElementsAre(QSize(300, 200), QSize(310, 200), QSize(320, 200), QSize(400, 500),
                            QSize(410, 500)));
    // The sources are unchanged and still usable.
    EXPECT_EQ(base->pageCount(), 3);
    EXPECT_EQ(pageSizesOf(pathOf("added.pdf")).size(), 2);
    EXPECT_EQ(base->renderPage(0, 300).size(), QSize(300, 200));
}

TEST_F(PdfMergeTest, KeepsPageContentsAndText)
{
    const auto texted = makeDocument("texted.pdf", {{400, 300}}, {"findable words"});
    ASSERT_TRUE(texted);
    ASSERT_TRUE(base->writeWithPagesOf(*texted, PdfDocument::Placement::After, pathOf("merged.pdf"),
                                       nullptr));
    const auto merged = PdfDocument::open(pathOf("merged.pdf"), nullptr);
    ASSERT_TRUE(merged);
    const auto match =
        merged->find(QStringLiteral("WORDS"), PdfDocument::SearchDirection::Forwards);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->position.page, 3);
    EXPECT_EQ(merged->renderPage(0, 300).pixelColor(150, 100).toRgb(), QColor(30, 90, 160));
}

TEST_F(PdfMergeTest, MergesADocumentWithItselfOrWithNoPages)
{
    ASSERT_TRUE(
        base->writeWithPagesOf(*base, PdfDocument::Placement::After, pathOf("twice.pdf"), nullptr));
    EXPECT_THAT(pageSizesOf(pathOf("twice.pdf")),
                ElementsAre(QSize(300, 200), QSize(310, 200), QSize(320, 200), QSize(300, 200),
                            QSize(310, 200), QSize(320, 200)));

    ASSERT_TRUE(test::writePdfWithoutPages(pathOf("empty.pdf")));
    Error error;
    const auto empty = PdfDocument::open(pathOf("empty.pdf"), &error);
    ASSERT_TRUE(empty) << qPrintable(error.localizedDescription());
    EXPECT_EQ(empty->pageCount(), 0);
    EXPECT_TRUE(empty->renderPage(0, 320).isNull());
    EXPECT_FALSE(empty->find(QStringLiteral("a"), PdfDocument::SearchDirection::Backwards));
    ASSERT_TRUE(empty->writeWithPagesOf(*added, PdfDocument::Placement::InFront, pathOf("one.pdf"),
                                        nullptr));
    EXPECT_THAT(pageSizesOf(pathOf("one.pdf")), ElementsAre(QSize(400, 500), QSize(410, 500)));
}

TEST_F(PdfMergeTest, AFailedWriteLeavesTheDestinationUntouched)
{
    const QByteArray before = "previous contents";
    ASSERT_TRUE(writeContents(pathOf("target.pdf"), before));
    const QStringList filesBefore = filesInFolder();

    FailingFileOperations failing(
        [](const QString &operation, const QString &) { return operation == "replace"; });
    FileOperations *previous = FileOperations::setCurrent(&failing);
    Error moveError;
    const bool written = base->writeWithPagesOf(*added, PdfDocument::Placement::After,
                                                pathOf("target.pdf"), &moveError);
    FileOperations::setCurrent(previous);
    EXPECT_FALSE(written);
    EXPECT_FALSE(moveError.localizedDescription().isEmpty());
    EXPECT_EQ(contentsOf(pathOf("target.pdf")), before);
    EXPECT_EQ(filesInFolder(), filesBefore); // the temporary file is gone

    Error error;
    EXPECT_FALSE(base->writeWithPagesOf(*added, PdfDocument::Placement::After,
                                        pathOf("no/such/folder.pdf"), &error));
    EXPECT_FALSE(error.localizedDescription().isEmpty());
}

} // namespace
} // namespace lq
