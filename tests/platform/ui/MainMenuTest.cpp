#include "platform/ui/MainMenu.h"

#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

namespace {

TEST(MainMenuTest, PlainTitlesDropMnemonicMarks)
{
    const std::pair<const char *, const char *> cases[] = {
        {"&File", "File"},    {"Save &As...", "Save As..."}, {"R&&D", "R&D"},
        {"Plain", "Plain"},   {"Trailing&", "Trailing&"},    {"", ""},
        {"&&&Edit", "&Edit"},
    };
    for (const auto &[title, plain] : cases)
        EXPECT_EQ(lq::MainMenu::plainTitle(QString::fromUtf8(title)), QString::fromUtf8(plain));
}

TEST(MainMenuTest, EveryAttachedMenuBarShowsTheSameMenus)
{
    QMenuBar first;
    QMenuBar second;
    {
        lq::MainMenu mainMenu;
        QMenu *file = mainMenu.addMenu(QStringLiteral("&File"));
        mainMenu.attachTo(&first);
        mainMenu.attachTo(&second);
        QMenu *edit = mainMenu.addMenu(QStringLiteral("&Edit"));

        for (const QMenuBar *bar : {&first, &second}) {
            ASSERT_EQ(bar->actions().size(), 2);
            EXPECT_EQ(bar->actions().at(0), file->menuAction());
            EXPECT_EQ(bar->actions().at(1), edit->menuAction());
        }
        EXPECT_EQ(mainMenu.menuTitled(QStringLiteral("Edit")), edit);
        EXPECT_EQ(mainMenu.menuTitled(QStringLiteral("View")), nullptr);
    }
    EXPECT_TRUE(first.actions().isEmpty());
    EXPECT_TRUE(second.actions().isEmpty());
}

TEST(MainMenuTest, AMenuBarMayGoFirst)
{
    lq::MainMenu mainMenu;
    {
        QMenuBar bar;
        mainMenu.attachTo(&bar);
    }
    EXPECT_NE(mainMenu.addMenu(QStringLiteral("Window")), nullptr);
}

TEST(MainMenuTest, CurrentIsClearedWhenTheInstalledMenuGoes)
{
    lq::MainMenu *previous = nullptr;
    {
        lq::MainMenu mainMenu;
        previous = lq::MainMenu::setCurrent(&mainMenu);
        EXPECT_EQ(lq::MainMenu::current(), &mainMenu);
    }
    EXPECT_EQ(lq::MainMenu::current(), nullptr);
    lq::MainMenu::setCurrent(previous);
}

} // namespace

TEST(MainMenuTest, ShownItemsWithoutAMnemonicGetAFreeOne)
{
    lq::MainMenu mainMenu;
    QMenu *menu = mainMenu.addMenu(QStringLiteral("&File"));
    for (const char *title :
         {"&New", "Export Text…", "Export Slides…", "Edit Text", "Exit", "A && B"})
        menu->addAction(QString::fromUtf8(title));
    menu->insertSeparator(menu->actions().value(1));
    const auto titles = [&] {
        QStringList shown;
        for (const QAction *item : menu->actions())
            shown.append(item->text());
        return shown;
    };
    menu->show();
    const QStringList expected = {"&New",       "",      "&Export Text…", "Export &Slides…",
                                  "Edit &Text", "E&xit", "A && B"};
    EXPECT_EQ(titles(), expected);
    // Shown again after an item was retitled: it takes a free letter again, the others keep theirs.
    menu->hide();
    menu->actions().value(2)->setText(QStringLiteral("Export Notes…"));
    menu->show();
    EXPECT_EQ(titles().value(2), QStringLiteral("&Export Notes…"));
    EXPECT_EQ(titles().mid(3), expected.mid(3));
}
