#include "app/AppMenus.h"

#include "AppTestSupport.h"
#include "document/WrenTextView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UndoManager.h"
#include "platform/ui/MainMenu.h"
#include "support/ScriptedPanelPresenter.h"
#include "window/DocumentMenus.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <functional>

namespace lq::test {
namespace {

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

class AppMenusTest : public DocumentControllerTest
{
protected:
    AppMenusTest() { MainMenu::setCurrent(&mainMenu); }
    ~AppMenusTest() override { MainMenu::setCurrent(nullptr); }

    void trigger(const QString &menuTitle, const QString &item)
    {
        QMenu *menu = mainMenu.menuTitled(menuTitle);
        ASSERT_NE(menu, nullptr);
        for (QAction *action : menu->actions()) {
            if (MainMenu::plainTitle(action->text()) == item) {
                action->trigger();
                return;
            }
        }
        FAIL() << "no item " << item.toStdString();
    }

    static void focus(QWidget *widget)
    {
        widget->window()->show();
        QApplication::setActiveWindow(widget->window());
        widget->setFocus();
        runEventLoopUntil([widget] { return QApplication::focusWidget() == widget; }, 1s);
    }

    // The titles a menu shows, as the user sees it open while typing in typingIn.
    QStringList shownTitles(const QString &menuTitle, QWidget *typingIn)
    {
        focus(typingIn);
        QMenu *menu = mainMenu.menuTitled(menuTitle);
        menu->popup(QPoint(0, 0));
        QStringList titles;
        for (const QAction *action : menu->actions())
            titles.append(action->isEnabled() ? action->text() : action->text() + u" (off)"_s);
        menu->hide();
        // The offscreen platform gives the keyboard back to no one.
        focus(typingIn);
        return titles;
    }

    MainMenu mainMenu;
    AppMenus menus{mainMenu, *controller, nullptr};
};

TEST_F(AppMenusTest, TheMenusFollowTheDesktopsConventions)
{
    installDocumentMenus(mainMenu);
    for (const QMenu *menu : mainMenu.menus()) {
        SCOPED_TRACE(menu->title().toStdString());
        EXPECT_NE(MainMenu::plainTitle(menu->title()), menu->title()) << "a mnemonic";
    }
    const QList<QAction *> file = mainMenu.menuTitled(u"File"_s)->actions();
    ASSERT_GE(file.size(), 2);
    EXPECT_TRUE(file.at(file.size() - 2)->isSeparator());
    EXPECT_EQ(file.last()->text(), u"&Quit"_s);
    const auto shortcut = [&](const QString &title) {
        for (const QAction *action : file) {
            if (MainMenu::plainTitle(action->text()) == title)
                return action->shortcut();
        }
        return QKeySequence();
    };
    EXPECT_EQ(shortcut(u"Save As…"_s), QKeySequence(u"Ctrl+Shift+S"_s));
    EXPECT_EQ(shortcut(u"Quit"_s), QKeySequence(u"Ctrl+Q"_s));
    // Edit ends with Preferences, after the notes' own items.
    const QList<QAction *> edit = mainMenu.menuTitled(u"Edit"_s)->actions();
    ASSERT_GE(edit.size(), 2);
    EXPECT_TRUE(edit.at(edit.size() - 2)->isSeparator());
    EXPECT_EQ(edit.last()->text(), u"Pr&eferences…"_s);
    EXPECT_EQ(edit.last()->shortcut(), QKeySequence(u"Ctrl+,"_s));
}

TEST_F(AppMenusTest, UndoAndRedoNameTheNotesStep)
{
    MyDocument *note = controller->openUntitledDocumentAndDisplay(true);
    QWidget *typingIn = note->textView();
    const QStringList nothingToUndo{u"&Undo (off)"_s, u"&Redo (off)"_s};
    EXPECT_EQ(shownTitles(u"Edit"_s, typingIn).mid(0, 2), nothingToUndo);

    QTest::keyClicks(nullptr, u"Hi"_s);
    runEventLoopUntil([] { return false; }, 20ms); // the typing step closes
    EXPECT_EQ(shownTitles(u"Edit"_s, typingIn).mid(0, 2),
              (QStringList{u"&Undo Typing"_s, u"&Redo (off)"_s}));

    trigger(u"Edit"_s, u"Undo Typing"_s);
    EXPECT_EQ(note->textStorage().string(), QString());
    EXPECT_EQ(shownTitles(u"Edit"_s, typingIn).mid(0, 2),
              (QStringList{u"&Undo (off)"_s, u"&Redo Typing"_s}));

    // A step the note names itself, with a mark that must show as it is.
    UndoManager *undo = note->lq::Document::undoManager();
    undo->registerUndo(this, [] {});
    undo->setActionName(u"Import Audio/Video & Slides"_s);
    runEventLoopUntil([] { return false; }, 20ms);
    EXPECT_EQ(shownTitles(u"Edit"_s, typingIn).mid(0, 2),
              (QStringList{u"&Undo Import Audio/Video && Slides"_s, u"&Redo (off)"_s}));

    // Outside the notes the items are the focused field's own.
    QLineEdit field;
    typingIn = &field;
    EXPECT_EQ(shownTitles(u"Edit"_s, typingIn).mid(0, 2), (QStringList{u"&Undo"_s, u"&Redo"_s}));
}

TEST_F(AppMenusTest, EditCommandsReachTheFocusedTextField)
{
    QLineEdit field;
    QPushButton button(QStringLiteral("button"));
    button.setFocusPolicy(Qt::StrongFocus);
    MyDocument *note = controller->openUntitledDocumentAndDisplay(true);
    ASSERT_NE(note, nullptr);
    note->replaceCharacters(TextRange{0, 0}, QStringLiteral("hello"));
    runEventLoopUntil([] { return false; }, 20ms); // the undo step closes
    const struct
    {
        const char *name;
        QWidget *target;
        std::function<void()> before;
        QStringList items;
        std::function<QString()> result;
        QString expected;
    } cases[] = {
        {"select all in the notes",
         note->textView(),
         [] {},
         {QStringLiteral("Select All")},
         [&] { return note->textView()->textCursor().selectedText(); },
         QStringLiteral("hello")},
        {"undo in the notes goes through the note",
         note->textView(),
         [] {},
         {QStringLiteral("Undo")},
         [&] { return note->textStorage().string(); },
         QString()},
        {"redo in the notes",
         note->textView(),
         [] {},
         {QStringLiteral("Redo")},
         [&] { return note->textStorage().string(); },
         QStringLiteral("hello")},
        {"cut and paste twice in a field",
         &field,
         [&] { field.setText(QStringLiteral("ab")); },
         {QStringLiteral("Select All"), QStringLiteral("Cut"), QStringLiteral("Paste"),
          QStringLiteral("Paste")},
         [&] { return field.text(); },
         QStringLiteral("abab")},
        {"copy leaves the field",
         &field,
         [&] { field.setText(QStringLiteral("xy")); },
         {QStringLiteral("Select All"), QStringLiteral("Copy"), QStringLiteral("Paste")},
         [&] { return field.text(); },
         QStringLiteral("xy")},
        {"a widget without text is left alone",
         &button,
         [] {},
         {QStringLiteral("Select All"), QStringLiteral("Paste"), QStringLiteral("Undo")},
         [&] { return button.text(); },
         QStringLiteral("button")},
    };
    // A command a widget does not answer is not sent to it (Qt would warn of a missing method).
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            if (type == QtWarningMsg && text.contains(QLatin1String("No such method")))
                warnings.append(text);
        });
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        c.before();
        focus(c.target);
        ASSERT_EQ(QApplication::focusWidget(), c.target);
        for (const QString &item : c.items)
            trigger(QStringLiteral("Edit"), item);
        EXPECT_EQ(c.result(), c.expected);
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
}

TEST_F(AppMenusTest, FileCommandsActOnTheActiveNote)
{
    ScriptedPanelPresenter panels;
    MyDocument *note = controller->openUntitledDocumentAndDisplay(true);
    focus(note->textView());
    ASSERT_EQ(controller->currentNote(), note);

    const QString path = folder.filePath(QStringLiteral("Saved.lumaquill"));
    panels.choose(path);
    trigger(QStringLiteral("File"), QStringLiteral("Save"));
    EXPECT_TRUE(runEventLoopUntil([&] { return note->fileUrl() == path; }, 10s));

    note->replaceCharacters(TextRange{0, 0}, QStringLiteral("changed"));
    runEventLoopUntil([] { return false; }, 20ms);
    ASSERT_TRUE(note->isDocumentEdited());
    alerts.addResponse(1); // Cancel
    trigger(QStringLiteral("File"), QStringLiteral("Revert"));
    EXPECT_EQ(note->textStorage().string(), QStringLiteral("changed"));
    alerts.addResponse(0); // Revert
    trigger(QStringLiteral("File"), QStringLiteral("Revert"));
    EXPECT_EQ(note->textStorage().string(), QString());

    trigger(QStringLiteral("File"), QStringLiteral("New"));
    EXPECT_EQ(controller->notes().size(), 2u);
    focus(note->textView());
    trigger(QStringLiteral("File"), QStringLiteral("Close"));
    EXPECT_EQ(controller->notes().size(), 1u);
    EXPECT_NE(controller->notes().front(), note);
}

} // namespace
} // namespace lq::test
