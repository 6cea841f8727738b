#include "shared/MenuTitles.h"

#include "platform/ui/MainMenu.h"

#include <QMenu>

#include <gtest/gtest.h>

namespace {

class MenuTitlesTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_previous = lq::MainMenu::setCurrent(&m_mainMenu);
        QMenu *file = m_mainMenu.addMenu(QStringLiteral("&File"));
        file->addAction(QStringLiteral("&Open..."));
        file->addSeparator();
        file->addAction(QStringLiteral("Start Recording"));
        file->addAction(QStringLiteral("Start Recording"));
        m_mainMenu.addMenu(QStringLiteral("Edit"))->addAction(QStringLiteral("Undo"));
    }
    void TearDown() override { lq::MainMenu::setCurrent(m_previous); }

    QStringList itemTitles() const
    {
        QStringList titles;
        for (const QMenu *menu : m_mainMenu.menus()) {
            for (const QAction *item : menu->actions())
                titles.append(menu->title() + QLatin1Char('/') + item->text());
        }
        return titles;
    }

    lq::MainMenu m_mainMenu;
    lq::MainMenu *m_previous = nullptr;
};

TEST_F(MenuTitlesTest, RefusesMissingMenusItemsAndTitlesWithoutChanges)
{
    const QStringList before = itemTitles();
    struct Case
    {
        QString menu, oldTitle, newTitle;
    };
    const Case cases[] = {
        {QStringLiteral("View"), QStringLiteral("Undo"), QStringLiteral("Redo")},
        {QStringLiteral("Edit"), QStringLiteral("Paste"), QStringLiteral("Redo")},
        {QStringLiteral("File"), QStringLiteral("Undo"), QStringLiteral("Redo")},
        {QString(), QStringLiteral("Undo"), QStringLiteral("Redo")},
        {QStringLiteral("Edit"), QString(), QStringLiteral("Redo")},
        {QStringLiteral("Edit"), QStringLiteral("Undo"), QString()},
    };
    for (const Case &c : cases) {
        EXPECT_FALSE(switchMenuTitle(c.menu, c.oldTitle, c.newTitle))
            << qPrintable(c.menu + QLatin1Char('/') + c.oldTitle);
    }
    EXPECT_EQ(itemTitles(), before);
}

TEST_F(MenuTitlesTest, RenamesExactlyOneItemFoundWithoutMnemonics)
{
    EXPECT_TRUE(switchMenuTitle(QStringLiteral("File"), QStringLiteral("Start Recording"),
                                QStringLiteral("Stop Recording")));
    EXPECT_TRUE(switchMenuTitle(QStringLiteral("File"), QStringLiteral("Open..."),
                                QStringLiteral("Open Note...")));

    EXPECT_EQ(itemTitles(),
              QStringList({QStringLiteral("&File/Open Note..."), QStringLiteral("&File/"),
                           QStringLiteral("&File/Stop Recording"),
                           QStringLiteral("&File/Start Recording"), QStringLiteral("Edit/Undo")}));
}

TEST(MenuTitlesWithoutMainMenuTest, AnswersNo)
{
    lq::MainMenu *previous = lq::MainMenu::setCurrent(nullptr);
    EXPECT_FALSE(
        switchMenuTitle(QStringLiteral("File"), QStringLiteral("Open"), QStringLiteral("Close")));
    lq::MainMenu::setCurrent(previous);
}

} // namespace
