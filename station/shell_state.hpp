#pragma once
// What the main window shares with the capture callbacks: its handle, set
// only once the window's creation has returned (the callbacks stay silent
// until then), and the status text buffer whose content becomes the title.

#include <cstddef>

#include "window_handle.hpp"

struct ShellState {
    static constexpr std::size_t kStatusTextSize = 200;  // with the terminating zero

    WindowHandle mainWindow = nullptr;
    char statusText[kStatusTextSize] = {};
};
