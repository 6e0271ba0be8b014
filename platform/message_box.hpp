#pragma once
// Modal message boxes with only an OK button. Show returns once the user has
// dismissed the box; it may be called from any thread.

#include <string_view>

#include "window_handle.hpp"

class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual void Show(WindowHandle owner, std::string_view text, std::string_view caption) = 0;
    // The same with an exclamation icon.
    virtual void ShowExclamation(WindowHandle owner, std::string_view text, std::string_view caption)
    {
        Show(owner, text, caption);
    }
};
