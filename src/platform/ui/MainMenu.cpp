#include "platform/ui/MainMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace lq {
namespace {

MainMenu *installedMenu = nullptr;

// The first item of menu's closing section; null when it has none.
QAction *closingSection(const QMenu &menu)
{
    const QList<QAction *> items = menu.actions();
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items.at(i)->objectName() == MainMenu::kClosingItemName)
            return i > 0 && items.at(i - 1)->isSeparator() ? items.at(i - 1) : items.at(i);
    }
    return nullptr;
}

} // namespace

const QString MainMenu::kClosingItemName = QStringLiteral("closingItem");

MainMenu::MainMenu() = default;

MainMenu::~MainMenu()
{
    if (installedMenu == this)
        installedMenu = nullptr;
}

QMenu *MainMenu::addMenu(const QString &title)
{
    QMenu *menu = m_menus.emplace_back(std::make_unique<QMenu>(title)).get();
    for (const QPointer<QMenuBar> &menuBar : std::as_const(m_menuBars)) {
        if (menuBar)
            menuBar->addMenu(menu);
    }
    return menu;
}

QList<QMenu *> MainMenu::menus() const
{
    QList<QMenu *> menus;
    for (const std::unique_ptr<QMenu> &menu : m_menus)
        menus.append(menu.get());
    return menus;
}

QMenu *MainMenu::menuTitled(const QString &title) const
{
    for (const std::unique_ptr<QMenu> &menu : m_menus) {
        if (plainTitle(menu->title()) == title)
            return menu.get();
    }
    return nullptr;
}

void MainMenu::attachTo(QMenuBar *menuBar)
{
    m_menuBars.removeAll(nullptr);
    m_menuBars.append(menuBar);
    for (const std::unique_ptr<QMenu> &menu : m_menus)
        menuBar->addMenu(menu.get());
}

MainMenu *MainMenu::current()
{
    return installedMenu;
}

MainMenu *MainMenu::setCurrent(MainMenu *menu)
{
    MainMenu *previous = installedMenu;
    installedMenu = menu;
    return previous;
}

void MainMenu::addItem(QMenu &menu, QAction *item)
{
    menu.insertAction(closingSection(menu), item);
}

QString MainMenu::plainTitle(const QString &title)
{
    QString plain;
    plain.reserve(title.size());
    for (qsizetype i = 0; i < title.size(); ++i) {
        if (title.at(i) == QLatin1Char('&') && i + 1 < title.size())
            ++i;
        plain.append(title.at(i));
    }
    return plain;
}

} // namespace lq
