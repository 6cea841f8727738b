#pragma once

#include <QString>

class QAction;

// Renames the item oldTitle of the main menu's menu menuTitle to newTitle. Answers false and
// changes nothing when a title is empty or the menu or item does not exist. Main thread.
bool switchMenuTitle(const QString &menuTitle, const QString &oldTitle, const QString &newTitle);

// Items found by number: the property of an item that holds it.
inline constexpr char kMenuItemTagProperty[] = "tag";
// The item of the main menu's menu menuTitle whose tag is tag; null when there is none. Main
// thread.
QAction *menuItemWithTag(const QString &menuTitle, int tag);
