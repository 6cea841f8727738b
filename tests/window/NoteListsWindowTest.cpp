// Lists and the highlighter in the program's note window, driven by its buttons and menus.
#include "document/BMColorPicker.h"
#include "document/WrenTextView.h"
#include "platform/ui/MainMenu.h"
#include "preferences/PrefsController.h"
#include "support/WidgetPictures.h"
#include "window/DocumentMenus.h"
#include "window/DocumentWindow.h"
#include "window/NoteWindowFixture.h"

#include <QDir>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

TEST(NoteListsWindowTest, TheListButtonMenusAndPenMakeListsAndHighlights)
{
    lq::test::FakeNoteServices services;
    PrefsController &preferences = services.preferences;
    lq::MainMenu mainMenu;
    lq::MainMenu *previousMenu = lq::MainMenu::setCurrent(&mainMenu);
    installDocumentMenus(mainMenu);
    const auto item = [&](const char *name) {
        return mainMenu.menuTitled(u"Edit"_s)->findChild<QAction *>(QLatin1String(name));
    };
    {
        lq::test::NoteWindowFixture note(preferences);
        DocumentWindow &window = note.window();
        WrenTextView *view = window.textView;
        view->setFocus();
        for (const QString &line : {u"Groceries"_s, u"milk"_s, u"bread"_s, u"eggs"_s}) {
            QTest::keyClicks(view, line);
            QTest::keyClick(view, Qt::Key_Return);
        }
        QTest::keyClicks(view, u"Call the shop"_s);

        view->setSelectedRange({10, 15});
        QTest::mouseClick(window.listButton, Qt::LeftButton, Qt::AltModifier);
        view->setSelectedRange({42, 0});
        item("toggleList")->trigger();
        view->setSelectedRange({23, 5});
        QTest::mouseClick(window.colorPicker, Qt::LeftButton, {}, {5, 5});
        QCoreApplication::processEvents();

        EXPECT_EQ(note.document->textStorage().string().toStdString(),
                  "Groceries\n\t1.\tmilk\n\t2.\tbread\n\t3.\teggs\n\t•\tCall the shop");
        EXPECT_EQ(note.document->textStorage().attributesAt(25).backgroundColor,
                  lq::TextColor::rgb(1, 1, 0));
        EXPECT_EQ(view->selectedRange(), (lq::TextRange{28, 0}));
        EXPECT_EQ(window.listButton->toolTip(), u"Remove list - Ctrl+L"_s);
        EXPECT_EQ(item("toggleList")->text(), u"Remove List"_s);
        EXPECT_EQ(item("toggleHighlight")->text(), u"Un-highlight Selection"_s);

        note.document->setEditable(false);
        EXPECT_EQ(window.listButton->property("imageName").toString(), u"LUMAlist_no-inactive"_s);
        note.document->setEditable(true);
        view->setSelectedRange({0, 0});
        QCoreApplication::processEvents();
        EXPECT_EQ(window.listButton->toolTip(),
                  u"Start a list - Ctrl+L\n(Alt-click for a numbered list)"_s);
        EXPECT_EQ(item("toggleNumberedList")->text(), u"Quick Numbered List"_s);
        view->setSelectedRange({28, 0});

        const QImage shot = lq::test::picture(window, 1.0);
        shot.save(QDir(QCoreApplication::applicationDirPath()).filePath(u"NoteWindowLists.png"_s));
        EXPECT_GT(lq::test::colourCount(shot), 8);
    }
    lq::MainMenu::setCurrent(previousMenu);
}

} // namespace
