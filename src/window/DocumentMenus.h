#pragma once

namespace lq {
class MainMenu;
}

// Adds the note windows' commands (transport, edit lock, media sidebar) to the "Recording",
// "Edit" and "View" menus of mainMenu; the program's start-up calls it once.
void installDocumentMenus(lq::MainMenu &mainMenu);
