#include "progress_line.hpp"

#include <unistd.h>

#include <cstdio>
#include <utility>

namespace {

// Shown once a file has taken this long, and redrawn at most this often.
constexpr auto kShowAfter = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(200);

}  // namespace

ProgressLine::ProgressLine(std::string name) : name_(std::move(name)), terminal_(isatty(STDERR_FILENO) == 1) {}

void ProgressLine::Update(long long frames, long long total, long pictures)
{
    if (!terminal_) return;
    const Clock::time_point now = Clock::now();
    if (now - started_ < kShowAfter || now - drawn_ < kRedrawEvery) return;
    drawn_ = now;
    shown_ = true;
    if (total > 0) {
        std::fprintf(stderr, "\r\033[Ktelvane-cli: %s: %lld %%, %ld picture%s", name_.c_str(), frames * 100 / total,
                     pictures, pictures == 1 ? "" : "s");
    } else {
        std::fprintf(stderr, "\r\033[Ktelvane-cli: %s: %ld picture%s", name_.c_str(), pictures, pictures == 1 ? "" : "s");
    }
    std::fflush(stderr);
}

void ProgressLine::Clear()
{
    if (!shown_) return;
    shown_ = false;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
}
