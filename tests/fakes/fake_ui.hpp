#pragma once
// Records menu states, appended items, titles and message boxes; with a
// CallLog, also the order of the calls. A box can be held open: Show then
// blocks its caller until the test dismisses it, as a real modal box does.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "fakes/call_log.hpp"
#include "ui.hpp"

class FakeUi : public Ui {
public:
    struct Box {
        WindowHandle owner;
        std::string text;
        std::string caption;
        bool exclamation = false;
    };

    struct Item {
        int popup;
        std::int32_t command;
        std::string text;
    };

    void CheckMenuItem(std::int32_t command, bool isChecked) override
    {
        checked[command] = isChecked;
        Log((isChecked ? "check " : "uncheck ") + std::to_string(command));
    }
    void EnableMenuItem(std::int32_t command, bool isEnabled) override
    {
        enabled[command] = isEnabled;
        Log((isEnabled ? "enable " : "gray ") + std::to_string(command));
    }
    void AppendMenuItem(int popup, std::int32_t command, std::string_view text) override
    {
        appended.push_back({popup, command, std::string(text)});
        Log("append " + std::to_string(command) + " " + std::string(text));
    }
    void DrawMenuBar() override
    {
        ++menuBarDraws;
        Log("draw menu bar");
    }
    void SetTitle(std::string_view title) override
    {
        titles.emplace_back(title);
        Log("title " + std::string(title));
    }

    void Show(WindowHandle owner, std::string_view text, std::string_view caption) override
    {
        ShowBox(owner, text, caption, false);
    }
    void ShowExclamation(WindowHandle owner, std::string_view text, std::string_view caption) override
    {
        ShowBox(owner, text, caption, true);
    }

    void ShowBox(WindowHandle owner, std::string_view text, std::string_view caption, bool exclamation)
    {
        Log("box " + std::string(caption));
        std::unique_lock lock(mutex_);
        boxes_.push_back({owner, std::string(text), std::string(caption), exclamation});
        changed_.notify_all();
        changed_.wait(lock, [this] { return !holdBoxes_ || dismissed_ >= boxes_.size(); });
    }

    std::vector<Box> Boxes()
    {
        std::lock_guard lock(mutex_);
        return boxes_;
    }

    void HoldBoxesOpen(bool hold)
    {
        std::lock_guard lock(mutex_);
        holdBoxes_ = hold;
        changed_.notify_all();
    }

    // Waits (up to 10 s) until a box is showing; false if none came.
    bool WaitForBox()
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return boxes_.size() > dismissed_; });
    }

    void DismissBox()
    {
        std::lock_guard lock(mutex_);
        ++dismissed_;
        changed_.notify_all();
    }

    std::map<std::int32_t, bool> checked;
    std::map<std::int32_t, bool> enabled;
    std::vector<Item> appended;
    std::vector<std::string> titles;
    int menuBarDraws = 0;
    CallLog* log = nullptr;

private:
    void Log(std::string call)
    {
        if (log) log->Add(std::move(call));
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Box> boxes_;
    std::size_t dismissed_ = 0;
    bool holdBoxes_ = false;
};
