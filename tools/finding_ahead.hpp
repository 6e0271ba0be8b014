#pragma once
// A recording through AutoRate with its two halves on two processor cores:
// a thread of its own runs the rate finder over each chunk while the
// receiver takes the chunk before, with the preambles found in it. Each
// half meets the same samples in the same order as in AutoRate::Receive,
// so the pictures are the same; only the finder's share of the time (some
// 15 % of an exact decode's) leaves the critical path.
//
// Chunks are handed over in turn, so they should be large (tens of
// thousands of samples): each costs a wake-up of the other thread. For
// live input, whose chunks come as the sound card fills them, AutoRate
// alone is the right thing: this would hold each chunk back until the next.

#include <cstdint>
#include <semaphore>
#include <span>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "rx/rate_finder.hpp"

// Input: AutoRate<...>, with finder, Receive, Deliver and Flush.
template <class Input>
class FindingAhead {
public:
    // Without a thread to be had, every chunk goes through Receive.
    explicit FindingAhead(Input& input) : input_(input)
    {
        try {
            worker_ = std::thread([this] { FindChunks(); });
        } catch (const std::system_error&) {
        }
    }

    ~FindingAhead()
    {
        if (!worker_.joinable()) return;
        if (busy_) done_.acquire();
        stopping_ = true;
        start_.release();
        worker_.join();
    }

    FindingAhead(const FindingAhead&) = delete;
    FindingAhead& operator=(const FindingAhead&) = delete;

    // As AutoRate::Receive; the chunk reaches the receiver with the next
    // one, or at Flush.
    void Receive(std::span<const std::uint8_t> samples, std::span<const float> full)
    {
        if (!worker_.joinable()) {
            input_.Receive(samples, full);
            return;
        }
        TakeFound();
        finding_.samples.assign(samples.begin(), samples.end());
        finding_.full.assign(full.begin(), full.end());
        busy_ = true;
        start_.release();
        DeliverFound();
    }

    // Every chunk to the receiver, then AutoRate::Flush.
    void Flush()
    {
        TakeFound();
        DeliverFound();
        input_.Flush();
    }

private:
    struct Chunk {
        std::vector<std::uint8_t> samples;
        std::vector<float> full;
        std::vector<RateFinder::Preamble> found;
    };

    void FindChunks()
    {
        for (;;) {
            start_.acquire();
            if (stopping_) return;
            input_.finder.Find(finding_.samples);
            done_.release();
        }
    }

    // Waits for the finder to finish the chunk it has, which then waits
    // for the receiver with what was found in it.
    void TakeFound()
    {
        if (!busy_) return;
        done_.acquire();
        busy_ = false;
        std::swap(finding_, found_);
        found_.found = std::move(input_.finder.found);
        input_.finder.found.clear();
        hasFound_ = true;
    }

    void DeliverFound()
    {
        if (!hasFound_) return;
        hasFound_ = false;
        input_.Deliver(found_.samples, found_.full, found_.found);
    }

    Input& input_;
    // The chunk the finder is on (busy_) or will be next, and the chunk
    // it has finished, which the receiver has not had yet (hasFound_).
    Chunk finding_;
    Chunk found_;
    bool busy_ = false;
    bool hasFound_ = false;
    bool stopping_ = false;
    std::binary_semaphore start_{0};
    std::binary_semaphore done_{0};
    std::thread worker_;
};
