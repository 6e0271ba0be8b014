#pragma once
// The main window's user interface as the program's menu logic uses it: its
// title, menu items by command code, and modal message boxes (from any
// thread).

#include <cstdint>
#include <string_view>

#include "message_box.hpp"
#include "window_title.hpp"

class Ui : public MessageBox, public WindowTitle {
public:
    virtual void CheckMenuItem(std::int32_t command, bool checked) = 0;
    // false grays the item.
    virtual void EnableMenuItem(std::int32_t command, bool enabled) = 0;
    // Appends a plain item to the end of the pop-up at position popup of the
    // menu bar.
    virtual void AppendMenuItem(int popup, std::int32_t command, std::string_view text) = 0;
    virtual void DrawMenuBar() = 0;
};
