#include "app/AppMenus.h"

#include "AppTestSupport.h"
#include "document/WrenTextView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UndoManager.h"
#include "platform/ui/MainMenu.h"
#include "support/ScriptedPanelPresenter.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include <functional>

namespace lq::test {
namespace {

using namespace std::chrono_literals;

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

    MainMenu mainMenu;
    AppMenus menus{mainMenu, *controller, nullptr};
};

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
    EXPECT_EQ(note->fileUrl(), path);

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
