#pragma once
// Records menu states and message boxes. A box can be held open: Show then
// blocks its caller until the test dismisses it, as a real modal box does.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui.hpp"

class FakeUi : public Ui {
public:
    struct Box {
        WindowHandle owner;
        std::string text;
        std::string caption;
    };

    void CheckMenuItem(std::int32_t command, bool isChecked) override { checked[command] = isChecked; }
    void EnableMenuItem(std::int32_t command, bool isEnabled) override { enabled[command] = isEnabled; }

    void Show(WindowHandle owner, std::string_view text, std::string_view caption) override
    {
        std::unique_lock lock(mutex_);
        boxes_.push_back({owner, std::string(text), std::string(caption)});
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

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Box> boxes_;
    std::size_t dismissed_ = 0;
    bool holdBoxes_ = false;
};
