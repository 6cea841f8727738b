#include "document/DocumentWindowController.h"
#include "document/MyDocument.h"
#include "document/WrenTextView.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "platform/document/SaveOperation.h"
#include "platform/pdf/PdfTestFiles.h"
#include "preferences/PrefsController.h"
#include "support/WidgetPictures.h"
#include "window/DocumentWindow.h"
#include "window/NoteWindowFixture.h"
#include "window/PDFMiniView.h"
#include "window/RecordingController.h"
#include "window/SidebarSection.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

// A new note in the program's own window, set up by the note as when the program opens one.
TEST(NoteWindowTest, ANewNoteOpensInItsWindowAndTypingIsStampedAndCounted)
{
    lq::test::FakeNoteServices services;
    PrefsController &preferences = services.preferences;
    std::unique_ptr<MyDocument> document = MyDocument::create();
    ASSERT_NE(document, nullptr);
    auto made = std::make_unique<RecordingController>(*document, preferences);
    DocumentWindow &window = made->window();
    document->addWindowController(std::move(made));
    EXPECT_FALSE(document->startingUp());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    WrenTextView *view = document->textView();
    ASSERT_EQ(view, window.textView);
    view->setFocus();
    const QString typed = u"First notes"_s;
    QTest::keyClicks(view, typed);
    QCoreApplication::processEvents();
    EXPECT_EQ(document->textStorage().string(), typed);
    const WrenEvents &events = document->recordingObject().events();
    for (qsizetype i = 0; i < typed.size(); ++i)
        EXPECT_NE(events.getEventForCharacter(uint32_t(i), true), nullptr) << i;
    EXPECT_TRUE(window.charCountField->text().contains(QString::number(typed.size())))
        << window.charCountField->text().toStdString();
    EXPECT_TRUE(window.notesDateField->isVisible());
    EXPECT_FALSE(window.recLengthField->isVisible()); // nothing recorded yet

    const QImage shot = lq::test::picture(window, 1.0);
    shot.save(QDir(QCoreApplication::applicationDirPath()).filePath(u"NoteWindow.png"_s));
    EXPECT_GT(lq::test::colourCount(shot), 8);
}

// Saved and opened again, the sidebar is as it was: the divider to the pixel, the slides section
// open or shut, the slide in it.
TEST(NoteWindowTest, AReopenedNoteShowsItsSidebarAndSlidesAsSaved)
{
    lq::test::FakeNoteServices services;
    PrefsController &preferences = services.preferences;
    QTemporaryDir folder;
    const QString slides = folder.filePath(u"slides.pdf"_s);
    ASSERT_TRUE(lq::test::writePdf(slides, QList<QSize>(4, QSize(400, 300))));
    const struct
    {
        const char *name;
        int divider; // -1: collapsed by the button
        bool slidesOpen;
    } cases[] = {{"open", 520, true}, {"slides-shut", 380, false}, {"collapsed", -1, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString package = folder.filePath(QLatin1String(c.name) + u".lumaquill"_s);
        {
            lq::test::NoteWindowFixture note(preferences);
            DocumentWindow &w = note.window();
            note.controller->addPath(slides);
            if (c.divider < 0)
                w.collapseButton->click();
            else
                note.document->positionDivider(c.divider);
            if (!c.slidesOpen)
                w.slidesSectionView->disclosureButton()->click();
            ASSERT_TRUE(note.document->saveToUrl(package, lq::SaveOperation::SaveAs, nullptr));
            note.document->close();
        }
        std::unique_ptr<MyDocument> opened = MyDocument::create();
        ASSERT_TRUE(opened->openUrl(package, nullptr));
        lq::test::NoteWindowFixture note(preferences, std::move(opened));
        DocumentWindow &w = note.window();
        lq::test::picture(w, 1.0).save(QDir(QCoreApplication::applicationDirPath())
                                           .filePath(u"ReopenedNote-%1.png"_s.arg(c.name)));
        const QList<int> sizes = w.mainSplitView->sizes();
        EXPECT_EQ(sizes.value(0), c.divider < 0
                                      ? w.mainSplitView->width() - w.mainSplitView->handleWidth()
                                      : c.divider);
        EXPECT_EQ(w.slidesSectionView->expanded(), c.slidesOpen);
        EXPECT_EQ(w.slidesPDFMiniView->isVisible(), c.slidesOpen);
        EXPECT_EQ(w.totalSlidesField->text(), u"Slide 1 of 4"_s);
        note.document->close();
    }
}

} // namespace
