#include "shared/MenuTitles.h"

#include "platform/ui/MainMenu.h"

#include <QAction>
#include <QMenu>

bool switchMenuTitle(const QString &menuTitle, const QString &oldTitle, const QString &newTitle)
{
    const lq::MainMenu *mainMenu = lq::MainMenu::current();
    if (!mainMenu || menuTitle.isEmpty() || oldTitle.isEmpty() || newTitle.isEmpty())
        return false;
    const QMenu *menu = mainMenu->menuTitled(menuTitle);
    if (!menu)
        return false;
    for (QAction *item : menu->actions()) {
        if (lq::MainMenu::plainTitle(item->text()) == oldTitle) {
            item->setText(newTitle);
            return true;
        }
    }
    return false;
}

QAction *menuItemWithTag(const QString &menuTitle, int tag)
{
    const lq::MainMenu *mainMenu = lq::MainMenu::current();
    const QMenu *menu = mainMenu ? mainMenu->menuTitled(menuTitle) : nullptr;
    if (!menu)
        return nullptr;
    for (QAction *item : menu->actions()) {
        const QVariant value = item->property(kMenuItemTagProperty);
        if (value.isValid() && value.toInt() == tag)
            return item;
    }
    return nullptr;
}
