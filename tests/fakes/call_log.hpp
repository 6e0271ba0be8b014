#pragma once
// One ordered record of the calls several fakes receive, for tests of the
// order in which the logic asks for things.

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

class CallLog {
public:
    void Add(std::string call)
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    std::vector<std::string> Calls()
    {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    void Clear()
    {
        std::lock_guard lock(mutex_);
        calls_.clear();
    }
    bool Contains(const std::string& call)
    {
        std::lock_guard lock(mutex_);
        return std::find(calls_.begin(), calls_.end(), call) != calls_.end();
    }

private:
    std::mutex mutex_;
    std::vector<std::string> calls_;
};
