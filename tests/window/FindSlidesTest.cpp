// Finding text in the slides of a note: counts, the buttons, wrapping, Go, and following the
// note through changed slides and closing.
#include "document/MyDocument.h"
#include "model/WrenRecording.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UndoManager.h"
#include "platform/pdf/PdfTestFiles.h"
#include "platform/ui/MainMenu.h"
#include "support/FakeCaptureDevices.h"
#include "support/FakeEngineFactory.h"
#include "support/FakeNoteMediaCommands.h"
#include "support/FakeUpdater.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/TestUserDefaults.h"
#include "window/FindSlidesController.h"
#include "window/NoteWindowFixture.h"
#include "window/PDFMiniView.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest/QTest>

#include <thread>

namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class FindSlidesTest : public testing::Test
{
protected:
    FindSlidesTest() { previousMenu = lq::MainMenu::setCurrent(&mainMenu); }
    ~FindSlidesTest() override
    {
        find.reset();
        notes.clear();
        QThreadPool::globalInstance()->waitForDone();
        lq::MainMenu::setCurrent(previousMenu);
    }

    // A note in its window with slides whose pages show texts.
    MyDocument &noteWithSlides(const QStringList &texts)
    {
        notes.push_back(std::make_unique<lq::test::NoteWindowFixture>(preferences));
        MyDocument &note = *notes.back()->document;
        if (!texts.isEmpty()) {
            const QString pdf = temp.filePath(u"slides-%1.pdf"_s.arg(notes.size()));
            EXPECT_TRUE(
                lq::test::writePdf(pdf, QList<QSize>(texts.size(), QSize(400, 300)), texts));
            note.addSlides(pdf);
        }
        return note;
    }

    // Types text over the field's text as the user does, and waits for the count.
    void type(const QString &text)
    {
        QLineEdit &field = *find->findTextField;
        field.selectAll();
        if (text.isEmpty())
            QTest::keyClick(&field, Qt::Key_Backspace);
        else
            QTest::keyClicks(&field, text);
        lq::runEventLoopUntil([&] { return text.isEmpty() || find->foundTextField->isVisible(); },
                              5s);
    }

    lq::test::TestUserDefaults defaults;
    lq::test::FakeCaptureDevices devices;
    lq::test::FakeUpdater updater;
    PrefsController preferences{PrefsController::Services{&devices, &updater}};
    lq::test::FakeEngineFactory engines;
    lq::test::ScriptedAlertPresenter alerts;
    lq::MainMenu mainMenu;
    lq::MainMenu *previousMenu = nullptr;
    QTemporaryDir temp;
    std::vector<std::unique_ptr<lq::test::NoteWindowFixture>> notes;
    MyDocument *current = nullptr;
    std::unique_ptr<FindSlidesController> find =
        std::make_unique<FindSlidesController>([this] { return current; });
};

const QStringList kTalk{u"Alpha intro"_s, u"alpha beta"_s, u"ALPHA beta"_s};

TEST_F(FindSlidesTest, TheCountAndTheButtonsFollowTheTextTyped)
{
    MyDocument &note = noteWithSlides(kTalk);
    find->showWindow(&note);
    const struct
    {
        const char *text;
        const char *count; // null: hidden
        bool go;
        bool stepping;
        int page; // -1: no slide shown
    } cases[] = {
        {"intro", "1 occurrence found", true, false, 0},
        {"beta", "2 occurrences found", true, true, 1},
        {"alpha", "3 occurrences found", true, true, 0},
        {"gamma", "0 occurrences found", false, false, -1},
        {"", nullptr, false, false, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        type(QString::fromUtf8(c.text));
        EXPECT_EQ(find->foundTextField->isVisible(), c.count != nullptr);
        if (c.count) {
            EXPECT_EQ(find->foundTextField->text(), QString::fromUtf8(c.count));
        }
        EXPECT_EQ(find->goButton->isEnabled(), c.go);
        EXPECT_EQ(find->nextButton->isEnabled(), c.stepping);
        EXPECT_EQ(find->prevButton->isEnabled(), c.stepping);
        EXPECT_EQ(find->slidesView->document() != nullptr, c.page >= 0);
        if (c.page >= 0) {
            EXPECT_EQ(find->slidesView->currentPage(), c.page);
            EXPECT_EQ(find->slidesView->highlight().page, c.page);
            EXPECT_FALSE(find->slidesView->highlight().bounds.isEmpty());
        }
    }
    type(u"alpha"_s);
    find->resize(420, 380);
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return find->slidesView->pageReady(); }, 5s));
    EXPECT_TRUE(
        find->grab().save(QCoreApplication::applicationDirPath() + u"/find-in-slides.png"_s));
}

TEST_F(FindSlidesTest, NextAndPreviousWrapRoundTheSlides)
{
    MyDocument &note = noteWithSlides(kTalk);
    find->showWindow(&note);
    type(u"alpha"_s);
    const struct
    {
        QPushButton *button;
        int page;
    } steps[] = {{find->nextButton, 1},
                 {find->nextButton, 2},
                 {find->nextButton, 0},
                 {find->prevButton, 2},
                 {find->prevButton, 1}};
    for (const auto &step : steps) {
        QTest::mouseClick(step.button, Qt::LeftButton);
        EXPECT_EQ(find->slidesView->currentPage(), step.page);
        EXPECT_EQ(find->slidesView->highlight().page, step.page);
    }
}

TEST_F(FindSlidesTest, GoShowsTheSlideInTheNoteAsTheUsersOwnTurn)
{
    MyDocument &note = noteWithSlides(kTalk);
    lq::test::FakeNoteMediaCommands commands;
    notes.back()->controller->setNoteCommands(&commands);
    find->showWindow(&note);
    type(u"beta"_s);
    QTest::mouseClick(find->prevButton, Qt::LeftButton);
    QTest::mouseClick(find->goButton, Qt::LeftButton);
    EXPECT_EQ(notes.back()->window().slidesPDFMiniView->currentPage(), 2);
    // Told to the note, which stamps it while recording.
    EXPECT_EQ(commands.calls, QStringList{u"gotoSlide:3"_s});
    EXPECT_EQ(note.undoManager()->undoActionName(), u"Change Slide"_s);
    EXPECT_FALSE(find->isVisible());
}

TEST_F(FindSlidesTest, ANoteWithoutSlidesOrWhoseSlidesGoEmptiesTheWindow)
{
    MyDocument &without = noteWithSlides({});
    const auto spoil = [](MyDocument &note) {
        QFile slides(note.recordingObject().slidesFileName());
        ASSERT_TRUE(slides.open(QIODevice::WriteOnly | QIODevice::Truncate));
        slides.write("no longer a PDF");
        slides.close();
        lq::NotificationCenter::defaultCenter().post(u"slides_changed"_s,
                                                     static_cast<const RecordingOwner *>(&note));
    };
    const struct
    {
        const char *name;
        std::function<void(MyDocument &)> act;
        bool keepsNote;
    } cases[] = {
        {"slides removed", [](MyDocument &note) { note.removeSlides(); }, false},
        {"another note without slides", [&](MyDocument &) { find->showWindow(&without); }, false},
        {"slides no longer readable", spoil, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        MyDocument &note = noteWithSlides(kTalk);
        find->showWindow(&note);
        type(u"alpha"_s);
        c.act(note);
        lq::runEventLoopUntil([&] { return !find->slidesView->document(); }, 2s);
        EXPECT_EQ(find->currentDoc(), c.keepsNote ? &note : nullptr);
        EXPECT_FALSE(find->foundTextField->isVisible());
        EXPECT_FALSE(find->goButton->isEnabled());
        EXPECT_FALSE(find->nextButton->isEnabled());
        EXPECT_EQ(find->slidesView->document(), nullptr);
    }
}

TEST_F(FindSlidesTest, AClosingNoteIsLetGoAndTheCurrentOneSearched)
{
    const struct
    {
        const char *name;
        bool deleted;   // the note is gone before the queued work runs
        bool nextIsNew; // the controller then names another note; else still the closed one
    } cases[] = {{"posted from a worker, note deleted", true, true},
                 {"closed, still named current", false, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        MyDocument &closing = noteWithSlides(kTalk);
        MyDocument &next = noteWithSlides({u"alpha alpha"_s});
        find->showWindow(&closing);
        type(u"alpha"_s);
        current = c.nextIsNew ? &next : &closing;
        if (c.deleted) {
            std::thread([&] {
                lq::NotificationCenter::defaultCenter().post(
                    QLatin1String(MyDocument::kDocumentClosingNotification),
                    static_cast<const QObject *>(&closing));
            }).join();
            notes.erase(notes.end() - 2);
        } else {
            closing.close();
        }
        MyDocument *const expected = c.nextIsNew ? &next : nullptr;
        EXPECT_TRUE(lq::runEventLoopUntil([&] { return find->currentDoc() == expected; }, 2s));
        if (c.nextIsNew) {
            EXPECT_TRUE(
                lq::runEventLoopUntil([&] { return find->foundTextField->isVisible(); }, 5s));
            EXPECT_EQ(find->foundTextField->text(), u"2 occurrences found"_s);
        }
        current = nullptr;
    }
}

} // namespace
