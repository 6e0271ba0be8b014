#pragma once
// What happens to the main window, as its handler sees it: creation and
// ending, moves, the timer, the menu about to open, palette changes and menu
// commands. The window implementation calls these on the user-interface
// thread; the program's shell answers them.

#include <cstdint>

#include "ui.hpp"
#include "window_handle.hpp"

class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    // While the window is being created, before its handle is recorded.
    virtual void OnCreate(WindowHandle mainWindow) = 0;
    virtual void OnDestroy() = 0;
    virtual void OnMoveOrResize() = 0;
    // The close box; the handler destroys the window itself.
    virtual void OnClose(WindowHandle mainWindow) = 0;
    virtual void OnTimer() = 0;
    virtual void OnInitMenu(Ui& menu) = 0;
    // The system's colours or palette changed.
    virtual void OnPaletteChanged() = 0;
    // A menu item was chosen: its command code.
    virtual void DispatchCommand(WindowHandle mainWindow, std::int32_t command) = 0;
};
