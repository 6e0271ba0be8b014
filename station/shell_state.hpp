#pragma once
// What the main window shares with the capture callbacks: its handle, set
// only once the window's creation has returned (the callbacks stay silent
// until then), and the status text whose content becomes the title.

#include <cstddef>
#include <string>
#include <string_view>

#include "window_handle.hpp"

struct ShellState {
    // The status text keeps at most this many characters; a longer line is cut.
    static constexpr std::size_t kStatusTextLimit = 199;

    void SetStatusText(std::string_view text) { statusText.assign(text.substr(0, kStatusTextLimit)); }

    WindowHandle mainWindow = nullptr;
    std::string statusText;
};
