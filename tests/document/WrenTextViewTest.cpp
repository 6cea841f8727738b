#include "document/WrenTextView.h"

#include "document/SharedColorPanel.h"
#include "document/SpellHighlighter.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/text/TextStorage.h"
#include "support/FakeTextViewDelegate.h"
#include "support/HostileArchives.h"
#include "support/ImageFixtures.h"
#include "support/LogCapture.h"
#include "support/ModalWatcher.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/TestUserDefaults.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QUrl>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

using lq::TextRange;
using lq::test::FakeTextViewDelegate;
using Check = FakeTextViewDelegate::Check;

namespace {

const QString kEmoji = QStringLiteral("\U0001F600");

struct SpyController : WrenTextViewController
{
    void addPath(const QString &path) override { paths << path; }
    QStringList paths;
};

// A shown view over a fresh note, its fake document stamping every change.
struct Note
{
    explicit Note(const QString &text = {}, TextRange selection = {})
    {
        view.setDelegate(&delegate);
        view.setController(&controller);
        view.setWatchdogEnabled(true);
        view.resize(420, 240);
        view.show();
        if (!text.isEmpty())
            type(text);
        view.setSelectedRange(selection);
        delegate.checks.clear();
    }

    // Typed through the editing path, each character (code point) one key press and one step.
    void type(const QString &text)
    {
        for (char32_t c : text.toUcs4()) {
            const QString character = QString::fromUcs4(&c, 1);
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, character);
            QCoreApplication::sendEvent(&view, &press);
            QCoreApplication::processEvents();
        }
    }
    void key(QKeySequence::StandardKey key)
    {
        const QKeySequence sequence(key);
        ASSERT_FALSE(sequence.isEmpty());
        const QKeyCombination combination = sequence[0];
        QTest::keyClick(&view, combination.key(), combination.keyboardModifiers());
        QCoreApplication::processEvents();
    }
    QString text() const { return storage.string(); }
    void chooseFromContextMenu(const QString &name)
    {
        std::unique_ptr<QMenu> menu(view.createEditingContextMenu({5, 5}));
        for (QAction *action : menu->actions()) {
            if (action->objectName() == name)
                action->trigger();
        }
    }

    lq::test::LogCapture log;
    lq::TextStorage storage;
    FakeTextViewDelegate delegate;
    SpyController controller;
    WrenTextView view{storage};
};

struct EditCase
{
    const char *name;
    QString text;
    TextRange selection;
    std::function<void(Note &)> edit;
    std::vector<Check> checks;
    QString result;
};

TEST(WrenTextViewTest, EveryEntryPointAsksOncePerChangedRange)
{
    const std::vector<EditCase> cases = {
        {"typing", "ab", {2, 0}, [](Note &n) { n.type("c"); }, {{{2, 0}, "c"}}, "abc"},
        {"typing over a selection",
         "abcd",
         {1, 2},
         [](Note &n) { n.type("x"); },
         {{{1, 2}, "x"}},
         "axd"},
        {"backspace after an emoji",
         "a" + kEmoji,
         {3, 0},
         [](Note &n) { QTest::keyClick(&n.view, Qt::Key_Backspace); },
         {{{1, 2}, ""}},
         "a"},
        {"delete before an emoji",
         "a" + kEmoji + "b",
         {1, 0},
         [](Note &n) { n.key(QKeySequence::Delete); },
         {{{1, 2}, ""}},
         "ab"},
        {"delete before an accent mark",
         "ae\u0301b",
         {1, 0},
         [](Note &n) { n.key(QKeySequence::Delete); },
         {{{1, 2}, ""}},
         "ab"},
        {"delete at the end", "ab", {2, 0}, [](Note &n) { n.key(QKeySequence::Delete); }, {}, "ab"},
        {"backspace at the start",
         "ab",
         {0, 0},
         [](Note &n) { QTest::keyClick(&n.view, Qt::Key_Backspace); },
         {},
         "ab"},
        {"ctrl+backspace",
         "hello world",
         {11, 0},
         [](Note &n) { n.key(QKeySequence::DeleteStartOfWord); },
         {{{6, 5}, ""}},
         "hello "},
        {"enter",
         "ab",
         {1, 0},
         [](Note &n) { QTest::keyClick(&n.view, Qt::Key_Return); },
         {{{1, 0}, "\n"}},
         "a\nb"},
        {"shift+enter",
         "ab",
         {1, 0},
         [](Note &n) { QTest::keyClick(&n.view, Qt::Key_Return, Qt::ShiftModifier); },
         {{{1, 0}, QString(QChar(0x2028))}},
         QString("a") + QChar(0x2028) + "b"},
        {"tab",
         "ab",
         {1, 0},
         [](Note &n) { QTest::keyClick(&n.view, Qt::Key_Tab); },
         {{{1, 0}, "\t"}},
         "a\tb"},
        {"paste",
         "abc",
         {1, 1},
         [](Note &n) {
             QGuiApplication::clipboard()->setText("xyz");
             n.key(QKeySequence::Paste);
         },
         {{{1, 1}, "xyz"}},
         "axyzc"},
        {"cut", "abcd", {1, 2}, [](Note &n) { n.key(QKeySequence::Cut); }, {{{1, 2}, ""}}, "ad"},
        {"context menu cut",
         "abcd",
         {0, 1},
         [](Note &n) { n.chooseFromContextMenu("edit-cut"); },
         {{{0, 1}, ""}},
         "bcd"},
        {"context menu delete",
         "abcd",
         {1, 2},
         [](Note &n) { n.chooseFromContextMenu("edit-delete"); },
         {{{1, 2}, ""}},
         "ad"},
        {"context menu paste",
         "abcd",
         {4, 0},
         [](Note &n) {
             QGuiApplication::clipboard()->setText("e");
             n.chooseFromContextMenu("edit-paste");
         },
         {{{4, 0}, "e"}},
         "abcde"},
        {"drag-move, removal first",
         "abcdef",
         {0, 2},
         [](Note &n) { n.view.moveSelectedText(5); },
         {{{0, 2}, ""}, {{3, 0}, "ab"}},
         "cdeabf"},
        {"input method commit",
         "abc",
         {3, 0},
         [](Note &n) {
             QInputMethodEvent event;
             event.setCommitString("X", -1, 1);
             QCoreApplication::sendEvent(&n.view, &event);
         },
         {{{2, 1}, "X"}},
         "abX"},
        {"input method preedit over a selection",
         "abc",
         {0, 2},
         [](Note &n) {
             QInputMethodEvent event("k", {});
             QCoreApplication::sendEvent(&n.view, &event);
         },
         {{{0, 2}, ""}},
         "c"},
    };
    for (const EditCase &c : cases) {
        SCOPED_TRACE(c.name);
        Note note(c.text, c.selection);
        c.edit(note);
        QCoreApplication::processEvents();
        EXPECT_EQ(note.delegate.checks, c.checks);
        EXPECT_EQ(note.text(), c.result);
        EXPECT_EQ(note.delegate.disagreement(note.storage.length()), "");
        EXPECT_FALSE(note.log.contains("Program error"));
        // The document hears of the caret's move after the change.
        if (!c.checks.empty()) {
            ASSERT_FALSE(note.delegate.selections.empty());
            EXPECT_EQ(note.delegate.selections.back(), note.view.selectedRange());
        }
    }
}

TEST(WrenTextViewTest, RefusedChangesAndTheDocumentsOwnCalls)
{
    Note note("abc", {3, 0});
    note.delegate.refuse = true;
    note.type("d");
    EXPECT_EQ(note.text(), "abc");
    note.delegate.refuse = false;
    note.delegate.checks.clear();
    note.delegate.undo.removeAllActions();

    // The document's own changes: no check, no undo, no watchdog report.
    note.view.replaceCharacters(TextRange{0, 1}, QStringLiteral("A"));
    QCoreApplication::processEvents();
    EXPECT_EQ(note.text(), "Abc");
    EXPECT_TRUE(note.delegate.checks.empty());
    EXPECT_FALSE(note.delegate.undo.canUndo());
    EXPECT_FALSE(note.log.contains("Program error"));

    // A change that bypasses the view is reported.
    QTextCursor(note.storage.document()).insertText("z");
    EXPECT_TRUE(note.log.contains("Program error"));
}

TEST(WrenTextViewTest, UndoAndRedoKeepTextAndStampsTogether)
{
    Note note;
    struct State
    {
        QString text;
        WrenEvents::StampList stamps;
    };
    std::vector<State> states;
    auto record = [&] {
        states.push_back({note.text(), note.delegate.events.keyEvents().toVector()});
    };
    auto expectState = [&](const State &state) {
        EXPECT_EQ(note.text(), state.text);
        EXPECT_EQ(note.delegate.events.keyEvents().toVector(), state.stamps);
        EXPECT_EQ(note.delegate.disagreement(note.storage.length()), "");
    };
    const std::vector<std::function<void()>> steps = {
        [&] { note.type("a"); },
        [&] { note.type("b"); },
        [&] { note.type(kEmoji); },
        [&] { note.type("c"); },
        [&] {
            note.view.setSelectedRange({1, 0});
            QGuiApplication::clipboard()->setText("XY");
            note.key(QKeySequence::Paste);
        },
        [&] {
            note.view.setSelectedRange({note.storage.length() - 1, 0});
            QTest::keyClick(&note.view, Qt::Key_Backspace);
        },
        [&] {
            note.view.setSelectedRange({0, 2});
            note.key(QKeySequence::Delete);
        },
        [&] {
            note.view.setSelectedRange({1, 2});
            note.type("z");
        },
    };
    record();
    for (const auto &step : steps) {
        step();
        QCoreApplication::processEvents();
        record();
    }
    // One key press, one step: the emoji typed as one key is one step too.
    for (size_t i = states.size() - 1; i > 0; --i) {
        SCOPED_TRACE(i);
        QTest::keyClick(&note.view, Qt::Key_Z, Qt::ControlModifier);
        QCoreApplication::processEvents();
        expectState(states[i - 1]);
    }
    EXPECT_FALSE(note.view.canUndo());
    const size_t stampsBefore = note.delegate.events.count();
    for (size_t i = 1; i < states.size(); ++i) {
        SCOPED_TRACE(i);
        note.view.redo();
        QCoreApplication::processEvents();
        expectState(states[i]);
    }
    EXPECT_GE(note.delegate.events.count(), stampsBefore);
    EXPECT_FALSE(note.log.contains("Program error"));
}

TEST(WrenTextViewTest, NewTextTakesTheTypingAttributesOrThoseBeforeIt)
{
    const auto colour = [](QColor c) {
        return lq::TextColor::rgb(c.redF(), c.greenF(), c.blueF(), c.alphaF());
    };
    struct Case
    {
        const char *name;
        std::function<void(Note &)> edit;
        qsizetype checked; // the character whose colour is read
        QColor expected;
    };
    const std::vector<Case> cases = {
        {"typing after red text", [](Note &n) { n.type("c"); }, 2, Qt::red},
        {"pasting plain text after red text",
         [](Note &n) {
             QGuiApplication::clipboard()->setText("xy");
             n.key(QKeySequence::Paste);
         },
         3, Qt::red},
        {"typing attributes",
         [&](Note &n) {
             lq::TextAttributes blue;
             blue.foregroundColor = colour(Qt::blue);
             n.view.setTypingAttributes(blue);
             n.type("cd");
         },
         3, Qt::blue},
        {"typing attributes dropped when the caret moves",
         [&](Note &n) {
             lq::TextAttributes blue;
             blue.foregroundColor = colour(Qt::blue);
             n.view.setTypingAttributes(blue);
             n.view.setSelectedRange({1, 0});
             n.type("c");
         },
         1, Qt::red},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Note note("ab", {2, 0});
        lq::TextAttributes red;
        red.foregroundColor = colour(Qt::red);
        note.view.addAttributes(TextRange{0, 2}, red);
        c.edit(note);
        const auto attributes = note.storage.attributesAt(c.checked);
        ASSERT_TRUE(attributes.foregroundColor.has_value());
        EXPECT_EQ(attributes.foregroundColor->toQColor().rgb(), QColor(c.expected).rgb());
        EXPECT_EQ(note.delegate.disagreement(note.storage.length()), "");
    }
}

TEST(WrenTextViewTest, UndoIsBlockedButRedoIsNot)
{
    Note note("ab", {2, 0});
    QCoreApplication::processEvents();
    note.view.undo();
    QCoreApplication::processEvents();
    EXPECT_EQ(note.text(), "a");

    note.view.setShouldUndo(false);
    std::unique_ptr<QMenu> menu(note.view.createEditingContextMenu({5, 5}));
    for (QAction *action : menu->actions()) {
        if (action->objectName() == "edit-undo") {
            EXPECT_FALSE(action->isEnabled());
        }
    }
    QTest::keyClick(&note.view, Qt::Key_Z, Qt::ControlModifier);
    note.view.undo(); // reaching the view directly is swallowed as well
    QCoreApplication::processEvents();
    EXPECT_EQ(note.text(), "a");
    EXPECT_EQ(note.delegate.events.keyEvents().size(), 1u);

    note.key(QKeySequence::Redo);
    EXPECT_EQ(note.text(), "ab");
    EXPECT_EQ(note.delegate.disagreement(2), "");
}

TEST(WrenTextViewTest, DroppedFiles)
{
    QTemporaryDir folder;
    const QString pdf1 = folder.filePath("one.pdf"), pdf2 = folder.filePath("two.pdf");
    const QString png = folder.filePath("picture.png");
    for (const QString &path : {pdf1, pdf2}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("%PDF-1.4\n");
    }
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(png));
    // Beyond any member of a note: a picture's head, then 100 GiB that take no room.
    const QString huge = folder.filePath("huge.png");
    ASSERT_TRUE(lq::test::makeSparseFile(huge, qint64(100) << 30, lq::test::pngBytes(Qt::red)));
    const QString pipe = folder.filePath("pipe.png");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);

    struct DropCase
    {
        const char *name;
        QStringList files;
        QString alert;
        QStringList added;
        QString text;
    };
    const QString received2 = "Error - Luma Quill can only accept 1 slides or media file, but "
                              "received 2 files";
    const std::vector<DropCase> cases = {
        {"two PDF files", {pdf1, pdf2}, received2, {}, "ab"},
        {"no files", {}, "Error - no files found", {}, "ab"},
        {"one PDF file", {pdf1}, {}, {pdf1}, "ab"},
        {"one picture", {png}, {}, {}, QString("a") + QChar(0xFFFC) + "b"},
        {"a picture larger than a note holds", {huge}, {}, {}, "ab"},
        {"a pipe named as a picture", {pipe}, {}, {}, "ab"},
    };
    for (const DropCase &c : cases) {
        SCOPED_TRACE(c.name);
        lq::test::ScriptedAlertPresenter alerts;
        Note note("ab", {1, 0});
        auto *mime = new QMimeData;
        QList<QUrl> urls;
        for (const QString &file : c.files)
            urls << QUrl::fromLocalFile(file);
        mime->setUrls(urls);
        const QPoint at = note.view.cursorRect().center();
        // Qt delivers a drop to the widget that took the drag's entry.
        QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(note.view.viewport(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(note.view.viewport(), &drop);
        QCoreApplication::processEvents();
        EXPECT_EQ(alerts.count(), c.alert.isEmpty() ? 0 : 1);
        if (!c.alert.isEmpty() && alerts.count() == 1) {
            EXPECT_EQ(alerts.last().request.messageText, c.alert);
        }
        EXPECT_EQ(note.controller.paths, c.added);
        EXPECT_EQ(note.text(), c.text);
        EXPECT_EQ(note.delegate.disagreement(note.storage.length()), "");
        if (c.text.contains(QChar(0xFFFC))) {
            const lq::TextAttributes attributes = note.storage.attributesAt(1);
            ASSERT_TRUE(attributes.attachment.has_value());
            EXPECT_EQ(attributes.attachment->preferredFileName, "picture.png");
        }
        delete mime;
    }
}

TEST(WrenTextViewTest, PastedImageDataWithoutAFileNameIsAPastedGraphic)
{
    Note note("ab", {1, 0});
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QGuiApplication::clipboard()->setImage(image);
    note.key(QKeySequence::Paste);
    EXPECT_EQ(note.text(), QString("a") + QChar(0xFFFC) + "b");
    const lq::TextAttributes attributes = note.storage.attributesAt(1);
    ASSERT_TRUE(attributes.attachment.has_value());
    EXPECT_EQ(attributes.attachment->preferredFileName, "pasted graphic.tiff");
    EXPECT_EQ(QImage::fromData(attributes.attachment->fileData, "TIFF").size(), image.size());
    EXPECT_EQ(note.delegate.disagreement(3), "");
}

TEST(WrenTextViewTest, SharedColorPanelRecoloursUnlessThePickerHasIt)
{
    Note note("abc", {0, 3});
    QApplication::setActiveWindow(&note.view);
    note.view.setFocus();
    ASSERT_EQ(QApplication::focusWidget(), &note.view);
    QColorDialog *panel = SharedColorPanel::panel();
    const auto colourAt0 = [&] { return note.storage.attributesAt(0).foregroundColor; };
    const auto before = colourAt0();

    struct Step
    {
        const char *notification;
        QColor colour;
        bool recolours;
    };
    const std::vector<Step> steps = {
        {"otherColorPickerStarted", Qt::red, false},
        {"otherColorPickerEnded", Qt::blue, true},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.notification);
        lq::NotificationCenter::defaultCenter().post(step.notification, panel);
        note.delegate.checks.clear();
        panel->setCurrentColor(step.colour);
        if (step.recolours) {
            ASSERT_TRUE(colourAt0().has_value());
            EXPECT_EQ(colourAt0()->toQColor().rgb(), step.colour.rgb());
            ASSERT_EQ(note.delegate.checks.size(), 1u);
            EXPECT_TRUE(note.delegate.checks[0].replacement.isNull());
        } else {
            EXPECT_EQ(colourAt0(), before);
            EXPECT_TRUE(note.delegate.checks.empty());
        }
        EXPECT_EQ(note.text(), "abc");
        EXPECT_EQ(note.delegate.disagreement(3), "");
    }
}

TEST(WrenTextViewTest, SpellingIsUnderlinedWithoutChangingTheText)
{
    lq::test::TestUserDefaults defaults;
    defaults->setBool("checkSpellingByDefault", true);
    Note note("hello wrold", {11, 0});
    ASSERT_TRUE(note.view.isContinuousSpellCheckingEnabled());
    const lq::AttributedString before = note.storage.attributedString();
    // The dictionary loads while the note is already there; its words are underlined then.
    ASSERT_TRUE(lq::runEventLoopUntil([] { return !SpellChecker::shared().isLoading(); },
                                      std::chrono::seconds(20)));
    if (!SpellChecker::shared().hasDictionary())
        GTEST_SKIP() << "No English dictionary for Enchant (hunspell-en-us) is installed.";
    QCoreApplication::processEvents();

    const QTextBlock block = note.storage.document()->firstBlock();
    std::vector<std::pair<int, int>> underlined;
    for (const QTextLayout::FormatRange &range : block.layout()->formats())
        if (range.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline)
            underlined.emplace_back(range.start, range.length);
    EXPECT_EQ(underlined, (std::vector<std::pair<int, int>>{{6, 5}}));
    EXPECT_EQ(note.storage.attributedString(), before);

    // Underlining new paragraphs is no change of the text either.
    QTest::keyClick(&note.view, Qt::Key_Return);
    QGuiApplication::clipboard()->setText("teh\nend");
    note.key(QKeySequence::Paste);
    QCoreApplication::processEvents();
    EXPECT_EQ(note.text(), "hello wrold\nteh\nend");
    EXPECT_FALSE(note.log.contains("Program error"));

    const QImage picture = note.view.grab().toImage();
    picture.save(QDir(QCoreApplication::applicationDirPath()).filePath("text-view.png"));
    // Not blank: the text is drawn, and the underline in red.
    bool ink = false, red = false;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor pixel = picture.pixelColor(x, y);
            ink = ink || pixel.lightness() < 100;
            red = red || (pixel.red() > pixel.green() + 60 && pixel.red() > pixel.blue() + 60);
        }
    }
    EXPECT_TRUE(ink);
    EXPECT_TRUE(red);
}

// The misspelt words, paragraph by paragraph, as the layouts underline them.
std::vector<std::tuple<int, int, int>> underlinedWords(const QTextDocument &text)
{
    std::vector<std::tuple<int, int, int>> words;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next())
        for (const QTextLayout::FormatRange &range : block.layout()->formats())
            if (range.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline)
                words.emplace_back(block.blockNumber(), range.start, range.length);
    return words;
}

// After each edit, in a long paragraph and about paragraph breaks, the words underlined are
// those a check of the whole text underlines.
TEST(WrenTextViewTest, EditsUnderlineTheWordsAWholeCheckWould)
{
    lq::test::TestUserDefaults defaults;
    defaults->setBool("checkSpellingByDefault", true);
    ASSERT_TRUE(lq::runEventLoopUntil([] { return !SpellChecker::shared().isLoading(); },
                                      std::chrono::seconds(20)));
    if (!SpellChecker::shared().hasDictionary())
        GTEST_SKIP() << "No English dictionary for Enchant (hunspell-en-us) is installed.";
    Note note;
    QString text;
    while (text.size() < 6000)
        text += "a helo wrold and the teh end, ";
    note.view.replaceCharacters({0, 0}, text + "\nsecond paragrph here");
    QCoreApplication::processEvents();
    const auto select = [&](qsizetype at, qsizetype length) {
        note.view.setSelectedRange({at, length});
    };
    struct Step
    {
        const char *name;
        std::function<void()> act;
    };
    const Step steps[] = {
        {"a letter into a word", [&] { select(3002, 0), note.type("l"); }},
        {"deleting a space joining words",
         [&] { select(3020, 0), QTest::keyClick(&note.view, Qt::Key_Backspace); }},
        {"a paragraph break",
         [&] { select(3100, 0), QTest::keyClick(&note.view, Qt::Key_Return); }},
        {"paragraphs joined", [&] { QTest::keyClick(&note.view, Qt::Key_Backspace); }},
        {"a paste of two lines",
         [&] {
             select(3200, 3);
             QGuiApplication::clipboard()->setText("fine\nwrongg text");
             note.key(QKeySequence::Paste);
         }},
        {"undone", [&] { note.key(QKeySequence::Undo); }},
    };
    for (const Step &step : steps) {
        step.act();
        QCoreApplication::processEvents();
        const std::unique_ptr<QTextDocument> copy(note.storage.document()->clone());
        SpellHighlighter whole(copy.get(), SpellChecker::shared());
        QCoreApplication::processEvents();
        const auto underlined = underlinedWords(*note.storage.document());
        EXPECT_EQ(underlined, underlinedWords(*copy)) << step.name;
        EXPECT_FALSE(underlined.empty()) << step.name;
    }
    // Checking turned off takes the underlines away; turned on, they come back.
    const auto before = underlinedWords(*note.storage.document());
    note.view.setContinuousSpellCheckingEnabled(false);
    EXPECT_TRUE(underlinedWords(*note.storage.document()).empty());
    note.view.setContinuousSpellCheckingEnabled(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(underlinedWords(*note.storage.document()), before);
}

} // namespace

namespace {

TEST(WrenTextViewTest, TheLinkPanelLinksTheSelectionThroughTheEditingPath)
{
    struct Case
    {
        const char *name;
        QString typed;
        bool accept;
        std::optional<QString> linkAfter;
    };
    const QString site = QStringLiteral("https://example.org/talk");
    Note note("see the talk", {8, 4});
    for (const Case &c :
         {Case{"cancelled", site, false, std::nullopt}, Case{"linked", site, true, site},
          Case{"emptied", QString(), true, std::nullopt}}) {
        SCOPED_TRACE(c.name);
        note.view.setSelectedRange({8, 4});
        const auto before = note.storage.attributesAt(8).link;
        QString shownAddress;
        whenModalShown<QDialog>([&](QDialog *panel) {
            auto *address = panel->findChild<QLineEdit *>(QStringLiteral("linkAddress"));
            shownAddress = address->text();
            address->setText(c.typed);
            c.accept ? panel->accept() : panel->reject();
        });
        note.delegate.checks.clear();
        note.view.orderFrontLinkPanel();
        EXPECT_EQ(shownAddress, before.value_or(QString()));
        EXPECT_EQ(note.storage.attributesAt(9).link, c.linkAfter);
        EXPECT_FALSE(note.storage.attributesAt(7).link.has_value());
        EXPECT_EQ(note.delegate.checks.size(), c.accept ? 1u : 0u);
        if (c.accept) {
            EXPECT_TRUE(note.delegate.checks[0].replacement.isNull());
            note.delegate.undo.undo();
            EXPECT_EQ(note.storage.attributesAt(9).link, before);
            note.delegate.undo.redo();
        }
        EXPECT_EQ(note.text(), "see the talk");
    }
    // Nothing to link: no panel.
    note.view.setSelectedRange({3, 0});
    note.view.orderFrontLinkPanel();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
