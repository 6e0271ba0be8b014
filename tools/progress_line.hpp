#pragma once
// A one-line progress indicator on standard error for a recording that
// takes a while to decode: percent read and pictures so far, redrawn in
// place. Only on a terminal, and only once a file has taken a second, so
// that pipes, logs and tests never see it.

#include <chrono>
#include <string>

class ProgressLine {
public:
    explicit ProgressLine(std::string name);
    ~ProgressLine() { Clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // frames of total (0 when unknown) read, pictures written.
    void Update(long long frames, long long total, long pictures);
    // Takes the line away, before other output and at the end.
    void Clear();

private:
    using Clock = std::chrono::steady_clock;

    std::string name_;
    bool terminal_;
    bool shown_ = false;
    Clock::time_point started_ = Clock::now();
    Clock::time_point drawn_{};
};
