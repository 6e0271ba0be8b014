#pragma once
// What the main window's logic asks of the windowing system beyond menus and
// boxes: its timer, destroying the window, ending the message loop, and the
// modal about box.

#include "window_handle.hpp"

class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    // Timer id fires every milliseconds on the user-interface thread until killed.
    virtual void SetTimer(WindowHandle window, int id, int milliseconds) = 0;
    virtual void KillTimer(WindowHandle window, int id) = 0;
    virtual void DestroyWindow(WindowHandle window) = 0;
    // The message loop ends with exitCode once the current message is handled.
    virtual void PostQuitMessage(int exitCode) = 0;
    // Returns when the user has closed the box.
    virtual void RunAboutBox(WindowHandle owner) = 0;
};
