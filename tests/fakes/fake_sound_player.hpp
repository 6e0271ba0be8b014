#pragma once
// Records every sound played, with its samples and when it was played.
// Playback can be held: PlaySync then blocks until released, as a sound
// that is still playing does.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "sound_player.hpp"

class FakeSoundPlayer : public SoundPlayer {
public:
    struct Played {
        std::vector<std::uint8_t> samples;
        int sampleRate = 0;
        std::chrono::steady_clock::time_point start;
    };

    bool PlaySync(std::span<const std::uint8_t> samples, int sampleRate) override
    {
        std::unique_lock lock(mutex_);
        played_.push_back({{samples.begin(), samples.end()}, sampleRate, std::chrono::steady_clock::now()});
        ++playing_;
        if (playing_ > mostAtOnce_) mostAtOnce_ = playing_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !hold_ || shutDown_ || outputGone_; });
        --playing_;
        ++finished_;
        changed_.notify_all();
        return !outputGone_;
    }

    // With no output, every PlaySync returns at once, having played nothing.
    void SetOutputGone(bool gone)
    {
        std::lock_guard lock(mutex_);
        outputGone_ = gone;
    }

    void Shutdown() override
    {
        std::lock_guard lock(mutex_);
        shutDown_ = true;
        changed_.notify_all();
    }

    void Hold(bool hold)
    {
        std::lock_guard lock(mutex_);
        hold_ = hold;
        changed_.notify_all();
    }

    // Waits (up to 10 s) until at least count sounds have started.
    bool WaitForStarts(std::size_t count)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return played_.size() >= count; });
    }

    std::vector<Played> Sounds()
    {
        std::lock_guard lock(mutex_);
        return played_;
    }

    std::size_t Finished()
    {
        std::lock_guard lock(mutex_);
        return finished_;
    }

    // The most sounds that were ever playing at the same time.
    int MostAtOnce()
    {
        std::lock_guard lock(mutex_);
        return mostAtOnce_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Played> played_;
    std::size_t finished_ = 0;
    int playing_ = 0;
    int mostAtOnce_ = 0;
    bool hold_ = false;
    bool shutDown_ = false;
    bool outputGone_ = false;
};
