#pragma once

#include <QString>

// Renames the item oldTitle of the main menu's menu menuTitle to newTitle. Answers false and
// changes nothing when a title is empty or the menu or item does not exist. Main thread.
bool switchMenuTitle(const QString &menuTitle, const QString &oldTitle, const QString &newTitle);
