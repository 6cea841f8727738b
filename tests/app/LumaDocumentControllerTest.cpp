#include "AppTestSupport.h"
#include "document/WrenTextView.h"
#include "platform/document/Document.h"
#include "platform/foundation/MainThread.h"
#include "shared/AppFolders.h"

#include <QDir>
#include <QMainWindow>
#include <QScreen>
#include <QSignalSpy>

#include <functional>

namespace lq::test {
namespace {

TEST_F(DocumentControllerTest, TheAutosaveDelayComesFromTheDefaults)
{
    const struct
    {
        const char *name;
        QVariant stored;
        int seconds;
    } cases[] = {
        {"absent", QVariant(), 900},
        {"30", QVariant(30), 60},
        {"60", QVariant(60), 60},
        {"120", QVariant(120), 120},
        {"120.7 seconds", QVariant(120.7), 120},
        {"negative", QVariant(-5), 60},
        {"a string", QVariant(QStringLiteral("120")), 900},
        {"data", QVariant(QByteArray("120")), 900},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        defaults->setObject(QLatin1String(LumaDocumentController::kAutosavingDelayKey), c.stored);
        EXPECT_EQ(LumaDocumentController::autosavingDelayFromDefaults(), c.seconds);
        LumaDocumentController made([](MyDocument &) {});
        EXPECT_EQ(Document::autosaveDelay(), c.seconds);
    }
}

TEST_F(DocumentControllerTest, OnlyAnUntouchedStartUpNoteIsReplacedByAnOpenedFile)
{
    const struct
    {
        const char *name;
        std::function<void(LumaDocumentController &, MyDocument &initial)> before;
        bool initialStays;
        size_t notesAfter;
    } cases[] = {
        {"untouched", [](auto &, MyDocument &) {}, false, 1},
        {"edited",
         [](auto &, MyDocument &initial) { initial.updateChangeCount(Document::ChangeKind::Done); },
         true, 2},
        {"recording, not yet marked edited",
         [](auto &, MyDocument &initial) { initial.recording = true; }, true, 2},
        {"a second document was added first",
         [](LumaDocumentController &c, MyDocument &) { c.openUntitledDocumentAndDisplay(false); },
         true, 3},
    };
    int round = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        controller = std::make_unique<LumaDocumentController>([](MyDocument &note) {
            note.addWindowController(std::make_unique<FakeDocumentWindow>(note.textStorage()));
        });
        const QString saved = savedNote(QStringLiteral("saved-%1.lumaquill").arg(++round));
        MyDocument *initial = controller->openUntitledDocumentAndDisplay(true);
        ASSERT_NE(initial, nullptr);
        c.before(*controller, *initial);
        ASSERT_NE(open(saved), nullptr);
        const std::vector<MyDocument *> notes = controller->notes();
        EXPECT_EQ(notes.size(), c.notesAfter);
        EXPECT_EQ(std::find(notes.begin(), notes.end(), initial) != notes.end(), c.initialStays);
        if (c.initialStays)
            initial->recording = false;
        // Later openings close nothing.
        const size_t before = controller->notes().size();
        ASSERT_NE(open(savedNote(QStringLiteral("later-%1.lumaquill").arg(round))), nullptr);
        EXPECT_EQ(controller->notes().size(), before + 1);
    }
}

TEST_F(DocumentControllerTest, TheWindowTitleNamesTheNoteAndMarksChanges)
{
    MyDocument *note = controller->openUntitledDocumentAndDisplay(true);
    QMainWindow *window = fakeWindow(*note).window();
    const QString path = folder.filePath(QStringLiteral("Talk.lumaquill"));
    const struct
    {
        const char *name;
        std::function<void()> step;
        QString title;
        bool modified;
    } cases[] = {
        {"untitled", [] {}, QStringLiteral("Untitled[*]"), false},
        {"edited", [&] { note->updateChangeCount(Document::ChangeKind::Done); },
         QStringLiteral("Untitled[*]"), true},
        {"saved", [&] { ASSERT_TRUE(note->saveToUrl(path, SaveOperation::SaveAs, nullptr)); },
         QStringLiteral("Talk[*]"), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        c.step();
        EXPECT_EQ(window->windowTitle(), c.title);
        EXPECT_EQ(window->isWindowModified(), c.modified);
    }
}

TEST_F(DocumentControllerTest, ASecondUntitledNoteNeverReplacesTheFirst)
{
    MyDocument *first = controller->openUntitledDocumentAndDisplay(true);
    MyDocument *second = controller->openUntitledDocumentAndDisplay(true);
    EXPECT_EQ(controller->notes(), (std::vector<MyDocument *>{first, second}));
}

TEST_F(DocumentControllerTest, NewWindowsCascadeAndANoteKeepsItsStoredPlace)
{
    const auto frameOf = [](const MyDocument *note) {
        return note->windowController()->outlets().window->frameGeometry();
    };
    const auto nextStep = [](const QRect &frame, const QMainWindow *window) {
        const int titleBar = window->geometry().top() - frame.top();
        return frame.topLeft() + QPoint(titleBar, titleBar);
    };
    MyDocument *first = controller->openUntitledDocumentAndDisplay(true);
    const QRect firstFrame = frameOf(first);
    MyDocument *second = controller->openUntitledDocumentAndDisplay(true);
    const QRect secondFrame = frameOf(second);
    EXPECT_EQ(secondFrame.topLeft(),
              nextStep(firstFrame, first->windowController()->outlets().window));
    EXPECT_TRUE(first->windowController()->outlets().window->screen()->availableGeometry().contains(
        secondFrame));

    // Saved from a window placed elsewhere, a note opens where it was.
    const QString path = folder.filePath(QStringLiteral("Placed.lumaquill"));
    {
        const std::unique_ptr<MyDocument> placed = MyDocument::create();
        placed->addWindowController(std::make_unique<FakeDocumentWindow>(placed->textStorage()));
        QMainWindow *window = placed->windowController()->outlets().window;
        window->move(secondFrame.topLeft() + QPoint(60, 10));
        window->show();
        ASSERT_TRUE(placed->saveToUrl(path, SaveOperation::SaveAs, nullptr));
    }
    const QPoint stored = secondFrame.topLeft() + QPoint(60, 10);
    const auto *third = qobject_cast<MyDocument *>(open(path));
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(frameOf(third).topLeft(), stored);
}

TEST_F(DocumentControllerTest, TheSearchRunsAfterTheCallersCompletionAlsoInAnOpenNote)
{
    const QString path = savedNote(QStringLiteral("search.lumaquill"),
                                   QStringLiteral("The moon and the Sun and the MOON"));
    for (const char *round : {"opened now", "already open"}) {
        SCOPED_TRACE(round);
        TextRange atCompletion{-1, -1};
        MyDocument *note = nullptr;
        bool wasOpen = false;
        controller->openDocument(
            path, true,
            [&](Document *document, bool alreadyOpen, const Error &) {
                note = qobject_cast<MyDocument *>(document);
                ASSERT_NE(note, nullptr);
                note->textView()->setSelectedRange(TextRange{0, 0});
                atCompletion = note->textView()->selectedRange();
                wasOpen = alreadyOpen;
            },
            QStringLiteral("sun"));
        ASSERT_NE(note, nullptr);
        EXPECT_EQ(wasOpen, std::string(round) == "already open");
        EXPECT_EQ(atCompletion, (TextRange{0, 0}));
        EXPECT_EQ(note->textView()->selectedRange(), (TextRange{17, 3}));
    }
    EXPECT_EQ(controller->notes().size(), 1u);
}

TEST_F(DocumentControllerTest, FoldersOpenAsNotesAndOtherFilesAreRefused)
{
    const QString plainFolder = folder.filePath(QStringLiteral("plain folder"));
    ASSERT_TRUE(QDir().mkpath(plainFolder));
    const QString text = folder.filePath(QStringLiteral("list.txt"));
    QFile(text).open(QIODevice::WriteOnly);
    const struct
    {
        QString path;
        int code;
    } cases[] = {{plainFolder, -4}, {text, -4}};
    // A note that fails to open leaves no temporary folder behind.
    const auto cacheEntries = [] {
        return QDir(*appCachePath(), {}, QDir::NoSort, QDir::AllEntries | QDir::NoDotAndDotDot)
            .count();
    };
    const uint entriesBefore = cacheEntries();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        Error error;
        EXPECT_EQ(open(c.path, {}, &error), nullptr);
        EXPECT_EQ(error.code(), c.code);
        EXPECT_FALSE(error.localizedDescription().isEmpty());
    }
    EXPECT_TRUE(controller->documents().empty());
    EXPECT_EQ(cacheEntries(), entriesBefore);
}

TEST_F(DocumentControllerTest, ARecordingNoteRefusesToCloseAndToQuit)
{
    MyDocument *first = controller->openUntitledDocumentAndDisplay(true);
    MyDocument *second = controller->openUntitledDocumentAndDisplay(true);
    second->recording = true;
    const std::function<bool()> attempts[] = {
        [&] { return controller->closeAllDocuments(); },
        [&] { return controller->performClose(second); },
        [&] { return fakeWindow(*second).window()->close(); },
    };
    for (const auto &attempt : attempts) {
        const int shown = alerts.count();
        EXPECT_FALSE(attempt());
        runEventLoopUntil([] { return false; }, std::chrono::milliseconds(20));
        ASSERT_EQ(alerts.count(), shown + 1);
        EXPECT_EQ(alerts.last().request.messageText,
                  QStringLiteral("I'm sorry, but you cannot close a Luma Quill document while it "
                                 "is recording."));
        EXPECT_EQ(alerts.last().request.informativeText,
                  QStringLiteral("If you want to close this document, you need to stop recording "
                                 "first."));
        EXPECT_EQ(controller->notes(), (std::vector<MyDocument *>{first, second}));
    }
    second->recording = false;
    EXPECT_TRUE(controller->closeAllDocuments());
    EXPECT_TRUE(controller->documents().empty());
}

TEST_F(DocumentControllerTest, ClosingAnEditedUntitledWindowAsksAndTheLastOneEndsTheProgram)
{
    const struct
    {
        const char *name;
        int answer;
        bool closes;
    } cases[] = {{"cancel", 2, false}, {"don't save", 1, true}};
    MyDocument *note = controller->openUntitledDocumentAndDisplay(true);
    note->textStorage().replaceCharacters(TextRange{0, 0}, QStringLiteral("kept"));
    note->updateChangeCount(Document::ChangeKind::Done);
    QSignalSpy lastClosed(controller.get(), &LumaDocumentController::lastNoteClosed);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const int shown = alerts.count();
        alerts.addResponse(c.answer);
        fakeWindow(*note).window()->close();
        runEventLoopUntil([&] { return !lastClosed.isEmpty(); }, std::chrono::milliseconds(300));
        EXPECT_EQ(alerts.count(), shown + 1);
        EXPECT_EQ(lastClosed.count(), c.closes ? 1 : 0);
        EXPECT_EQ(controller->documents().empty(), c.closes);
    }
}

} // namespace
} // namespace lq::test
