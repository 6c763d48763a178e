// The main menu "IDM_MENU1" as data: entries in order with their command ids and labels.
#pragma once

#include <vector>

namespace kestrane {

struct MenuEntry {
    enum Kind { Command, Separator, Submenu };
    Kind kind = Command;
    int id = 0;                  // command id (Command)
    const char* label = "";      // UTF-8, Japanese; shown through translate("Menu", label)
    std::vector<MenuEntry> items; // Submenu
};

// The top level of the menu bar, left to right; commands directly on the bar are Command entries.
const std::vector<MenuEntry>& mainMenuTree();

} // namespace kestrane
