#include "document/EditingTestSupport.h"
#include "document/NoteMediaCommands.h"
#include "platform/pdf/PdfTestFiles.h"
#include "support/LogCapture.h"
#include "support/ScriptedAlertPresenter.h"

#include <QApplication>

namespace {

using lq::test::EditingTest;
using lq::test::pageSizesOf;
using lq::test::writeContents;
using lq::test::writePdf;
using namespace Qt::StringLiterals;

const QList<QSize> kOldPages{{300, 200}, {310, 200}};
const QList<QSize> kNewPages{{400, 500}, {410, 500}, {420, 500}};

class SlidesCommandTest : public EditingTest
{
protected:
    SlidesCommandTest()
    {
        EXPECT_TRUE(writePdf(sources.filePath(u"old.pdf"_s), kOldPages));
        EXPECT_TRUE(writePdf(sources.filePath(u"new.pdf"_s), kNewPages));
        EXPECT_TRUE(writeContents(sources.filePath(u"damaged.pdf"_s), "%PDF-1.4\n1 0 obj <<"));
    }

    QString source(const QString &name) const { return sources.filePath(name); }
    // The window's panes reach the note through this interface.
    NoteMediaCommands &pane() const { return *document; }

    QTemporaryDir sources;
    lq::test::ScriptedAlertPresenter alerts;
    lq::test::LogCapture log;
};

TEST_F(SlidesCommandTest, TheAnswerToTheQuestionDecidesWhereTheNewPagesGo)
{
    struct Case
    {
        bool withSlides;
        int button;
        QList<QSize> pages;
    };
    const Case cases[] = {
        {false, -1, kNewPages},
        {true, 0, kNewPages},             // Replace
        {true, 1, kOldPages + kNewPages}, // Append
        {true, 2, kNewPages + kOldPages}, // Insert
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.withSlides << " " << c.button);
        open(u"abc"_s);
        if (c.withSlides) {
            ASSERT_TRUE(recording().addSlides(source(u"old.pdf"_s)));
        }
        const int shownBefore = alerts.count();
        if (c.button >= 0)
            alerts.addResponse(c.button);

        pane().addSlides(source(u"new.pdf"_s));

        EXPECT_EQ(pageSizesOf(recording().slides().path()), c.pages);
        ASSERT_EQ(alerts.count(), shownBefore + (c.withSlides ? 1 : 0));
        if (c.withSlides) {
            const lq::AlertRequest &question = alerts.last().request;
            EXPECT_EQ(question.messageText,
                      u"Would you like to replace the current slides, append to the end of them, "
                      "or insert the new slides at the beginning?"_s);
            EXPECT_TRUE(question.informativeText.isEmpty());
            EXPECT_EQ(question.buttons, QStringList({u"Replace"_s, u"Append"_s, u"Insert"_s}));
        }
    }
}

TEST_F(SlidesCommandTest, AFailedAddIsToldWithThePathAndKeepsTheSlides)
{
    open(u"abc"_s);
    ASSERT_TRUE(recording().addSlides(source(u"old.pdf"_s)));
    const QString path = source(u"damaged.pdf"_s);

    pane().addSlides(path);

    EXPECT_EQ(pageSizesOf(recording().slides().path()), kOldPages);
    const lq::AlertRequest &failure = alerts.last().request;
    EXPECT_EQ(failure.messageText, u"Error adding slides file %1."_s.arg(path));
    EXPECT_EQ(failure.informativeText,
              u"Please make sure QuickLook can display the file through Finder, restart Luma "
              "Quill, and try again. Also, remember that only valid Keynote, Powerpoint, or PDF "
              "files may be added."_s);
    EXPECT_EQ(failure.buttons, QStringList{u"OK"_s});
}

TEST_F(SlidesCommandTest, AddingFromThePaneIsOneUndoStepAndRemovingIsAnother)
{
    open(u"abc"_s);
    lq::UndoManager &undo = *document->undoManager();

    pane().addSlides(source(u"new.pdf"_s));
    QCoreApplication::processEvents();
    EXPECT_TRUE(recording().hasSlides());
    EXPECT_EQ(alerts.count(), 0);
    EXPECT_EQ(undo.undoMenuItemTitle(), u"Undo Add Slides"_s);

    document->removeSlides();
    QCoreApplication::processEvents();
    EXPECT_FALSE(recording().hasSlides());
    EXPECT_EQ(undo.undoMenuItemTitle(), u"Undo Remove Slides"_s);

    undo.undo();
    EXPECT_EQ(pageSizesOf(recording().slides().path()), kNewPages);
    undo.undo();
    EXPECT_FALSE(recording().hasSlides());
}

} // namespace
