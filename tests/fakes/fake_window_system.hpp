#pragma once
// Logs timer, destroy, quit and about-box requests.

#include <string>

#include "fakes/call_log.hpp"
#include "window_system.hpp"

class FakeWindowSystem : public WindowSystem {
public:
    explicit FakeWindowSystem(CallLog& log) : log_(log) {}

    void SetTimer(WindowHandle, int id, int milliseconds) override
    {
        log_.Add("set timer " + std::to_string(id) + " " + std::to_string(milliseconds));
    }
    void KillTimer(WindowHandle, int id) override { log_.Add("kill timer " + std::to_string(id)); }
    void DestroyWindow(WindowHandle window) override
    {
        log_.Add("destroy main window");
        destroyed = window;
    }
    void PostQuitMessage(int exitCode) override { log_.Add("quit " + std::to_string(exitCode)); }
    void RunAboutBox(WindowHandle owner) override
    {
        log_.Add("about box");
        aboutOwner = owner;
    }

    WindowHandle destroyed = nullptr;
    WindowHandle aboutOwner = nullptr;

private:
    CallLog& log_;
};
