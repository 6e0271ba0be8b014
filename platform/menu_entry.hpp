#pragma once
// A menu as a flat table, which the window builds its menu bar from:
// pop-ups open and close around their items; an item's command is the code
// its choice sends; "checked" is the state at start.

#include <cstdint>

struct MenuEntry {
    enum Kind { kPopup, kEnd, kItem, kSeparator };
    Kind kind;
    const char* text = "";
    std::int32_t command = 0;
    bool checked = false;
};
