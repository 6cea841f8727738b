#pragma once

#include <QList>
#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;

namespace lq {

// The application's menus: one list of top-level menus that every window's menu bar shows.
// Main thread only.
class MainMenu
{
public:
    MainMenu();
    ~MainMenu();
    MainMenu(const MainMenu &) = delete;
    MainMenu &operator=(const MainMenu &) = delete;

    // Adds a menu at the end of every attached menu bar; the main menu owns it.
    QMenu *addMenu(const QString &title);
    QList<QMenu *> menus() const;
    // The first menu whose title, without mnemonic marks, is title; null when there is none.
    QMenu *menuTitled(const QString &title) const;

    // Shows the menus in a window's menu bar, now and as they are added.
    void attachTo(QMenuBar *menuBar);

    // The main menu of the running application, if one is installed.
    static MainMenu *current();
    static MainMenu *setCurrent(MainMenu *menu);

    // A menu or item title as shown: "&File" is "File", "&&" is a literal "&".
    static QString plainTitle(const QString &title);

    // The object name of an item that closes its menu, with the separator before it (File's
    // Quit): items added later go before that section.
    static const QString kClosingItemName;
    // Adds item to menu: at the end, or before the menu's closing section.
    static void addItem(QMenu &menu, QAction *item);

private:
    std::vector<std::unique_ptr<QMenu>> m_menus;
    QList<QPointer<QMenuBar>> m_menuBars;
};

} // namespace lq
