#pragma once
// The main window's user interface as the subsystems use it: menu items by
// command code, and modal message boxes (from any thread).

#include <cstdint>

#include "platform/message_box.hpp"

class Ui : public MessageBox {
public:
    virtual void CheckMenuItem(std::int32_t command, bool checked) = 0;
    // false grays the item.
    virtual void EnableMenuItem(std::int32_t command, bool enabled) = 0;
};
