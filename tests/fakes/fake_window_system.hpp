#pragma once
// Keeps the timers running, the window destroyed, the exit code asked for
// and the about box's owner; logs each request.

#include <map>
#include <optional>
#include <string>

#include "fakes/call_log.hpp"
#include "window_system.hpp"

class FakeWindowSystem : public WindowSystem {
public:
    explicit FakeWindowSystem(CallLog& log) : log_(log) {}

    void SetTimer(WindowHandle, int id, int milliseconds) override
    {
        log_.Add("set timer " + std::to_string(id) + " " + std::to_string(milliseconds));
        timers[id] = milliseconds;
    }
    void KillTimer(WindowHandle, int id) override
    {
        log_.Add("kill timer " + std::to_string(id));
        timers.erase(id);
    }
    void DestroyWindow(WindowHandle window) override
    {
        log_.Add("destroy main window");
        destroyed = window;
    }
    void PostQuitMessage(int exitCode) override
    {
        log_.Add("quit " + std::to_string(exitCode));
        quitCode = exitCode;
    }
    void RunAboutBox(WindowHandle owner) override
    {
        log_.Add("about box");
        aboutOwner = owner;
    }

    std::map<int, int> timers;  // id -> period in milliseconds
    WindowHandle destroyed = nullptr;
    std::optional<int> quitCode;
    WindowHandle aboutOwner = nullptr;

private:
    CallLog& log_;
};
