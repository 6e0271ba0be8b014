#pragma once
// A receiver that takes each transmission at the bit rate its preamble is
// found at (RateFinder), for recordings of unknown or mixed rates.
//
// The finder knows a preamble only once a window of its flags has passed,
// so the receiver runs kDelaySamples behind it: the rate is changed where
// the preamble begins, and the receiver meets the whole preamble at the new
// rate, exactly as it would with that rate set from the start. The rate
// holds until another rate's preamble is found. Before the first one the
// receiver gets nothing: what comes before any transmission is noise, of
// which it would only make stray lines.
//
// Without following, the receiver keeps its rate and gets every sample at
// once; the finder only looks, so that a run that finds nothing can say
// what the signal looks like.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "rx/finder_level.hpp"
#include "rx/rate_finder.hpp"

// Receiver: SetSamplesPerBit and Receive(std::span<const std::uint8_t>,
// std::span<const float>), the second empty where there are only 8 bits.
template <class Receiver>
class AutoRate {
public:
    // How far the receiver runs behind the finder: as far as a switch
    // reaches back from the end of the window that finds it (at 4 samples
    // per bit 448 + 100 + 64 = 612 samples, below), and then as much again
    // for a lead-in. 93 ms of latency for live input.
    static constexpr std::int64_t kDelaySamples = 2048;
    // The most a lead-in can be: what is held when the first preamble is
    // found, less the switch's reach.
    static constexpr std::int64_t kMostLeadIn = kDelaySamples - 612;

    // leadIn: samples before the first preamble that the receiver hears, up
    // to kMostLeadIn. The robust receiver's squelch takes the channel's own
    // noise level from the quiet before a transmission (over 64 bits, 256
    // samples at 4 samples per bit); the exact receiver would only make a
    // stray line of it, which puts the first picture a row out of place.
    // withEdges: the finder also slices by edges (RateFinder), for a
    // receiver that copes with AC-coupled channels.
    AutoRate(Receiver& receiver, std::int32_t samplesPerBit, bool follow, std::int64_t leadIn = 0,
             bool withEdges = false)
        : finder(withEdges), receiver_(receiver), samplesPerBit_(samplesPerBit), follow_(follow), leadIn_(leadIn)
    {
        receiver_.SetSamplesPerBit(samplesPerBit);
    }

    void Receive(std::span<const std::uint8_t> samples) { Receive(samples, {}); }

    // The same samples also at full resolution (levels of 1/128 each side
    // of 0), for a receiver that takes them; full is empty or as long as
    // samples, and one or the other throughout a recording (Flush between).
    void Receive(std::span<const std::uint8_t> samples, std::span<const float> full)
    {
        finder.Find(full.empty() ? samples : Levelled(full));
        received_ += static_cast<std::int64_t>(samples.size());
        for (const RateFinder::Preamble& preamble : finder.found)
            lastPreamble_[RateFinder::Index(preamble.samplesPerBit)] = preamble.windowStart;
        if (!follow_) {
            finder.found.clear();
            receiver_.Receive(samples, full);
            fed_ = received_;
            return;
        }
        for (const RateFinder::Preamble& preamble : finder.found) {
            // Where the preamble's flags begin, at the latest: the window's
            // agreement reaches 25 bits back, and a word more covers a
            // window that passed a word late. Switching early costs nothing:
            // what comes before is another rate's or none.
            const std::int64_t begins = preamble.windowStart - 25 * preamble.samplesPerBit - 64;
            const bool first = !started_ && switches_.empty();
            switches_.push_back({std::max(first ? begins - leadIn_ : begins, fed_), preamble.samplesPerBit});
        }
        finder.found.clear();
        held_.insert(held_.end(), samples.begin(), samples.end());
        heldFull_.insert(heldFull_.end(), full.begin(), full.end());
        FeedUpTo(received_ - kDelaySamples);
    }

    // Hands the receiver every sample held back: the input has ended (or
    // a recording has).
    void Flush() { FeedUpTo(received_); }

    // The rate the receiver is at.
    std::int32_t SamplesPerBit() const { return samplesPerBit_; }

    // Whether the receiver is inside a transmission: it has had fewer
    // samples since the latest preamble at its rate than the shortest
    // transmission takes, less the 2 % that a clock mismatch of 5000 ppm and
    // the window's place can take off.
    bool InsideTransmission() const
    {
        const std::int64_t preamble = lastPreamble_[RateFinder::Index(samplesPerBit_)];
        if (preamble < 0) return false;
        const std::int64_t shortest = kShortestTransmissionBits * samplesPerBit_;
        return fed_ - preamble < shortest - shortest / 50;
    }

    RateFinder finder;

private:
    std::span<const std::uint8_t> Levelled(std::span<const float> full)
    {
        levelled_.resize(full.size());
        for (std::size_t i = 0; i < full.size(); ++i) levelled_[i] = finderLevel_.Sample(full[i]);
        return levelled_;
    }

    struct Switch {
        std::int64_t at;
        std::int32_t samplesPerBit;
    };

    void FeedUpTo(std::int64_t until)
    {
        const std::int64_t heldFrom = fed_;
        while (fed_ < until) {
            const bool switchFirst = !switches_.empty() && switches_.front().at <= fed_;
            if (switchFirst) {
                started_ = true;
                if (switches_.front().samplesPerBit != samplesPerBit_) {
                    samplesPerBit_ = switches_.front().samplesPerBit;
                    receiver_.SetSamplesPerBit(samplesPerBit_);
                }
                switches_.pop_front();
                continue;
            }
            const std::int64_t end = switches_.empty() ? until : std::min(until, switches_.front().at);
            if (started_) {
                const auto from = static_cast<std::size_t>(fed_ - heldFrom);
                const auto count = static_cast<std::size_t>(end - fed_);
                receiver_.Receive(std::span<const std::uint8_t>(held_).subspan(from, count),
                                  heldFull_.empty() ? std::span<const float>()
                                                    : std::span<const float>(heldFull_).subspan(from, count));
            }
            fed_ = end;
        }
        const auto taken = static_cast<std::ptrdiff_t>(fed_ - heldFrom);
        held_.erase(held_.begin(), held_.begin() + taken);
        heldFull_.erase(heldFull_.begin(), heldFull_.begin() + std::min<std::ptrdiff_t>(taken, std::ssize(heldFull_)));
    }

    Receiver& receiver_;
    std::int32_t samplesPerBit_;
    bool follow_;
    std::int64_t leadIn_;
    bool started_ = false;       // a preamble has been found (following only)
    // 20 flags and the start byte, then 60 line packets of a flag and 80
    // bytes, with no bit stuffed.
    static constexpr std::int64_t kShortestTransmissionBits = (20 + 1) * 8 + 60 * (1 + 80) * 8;

    // Where the latest preamble's window at each rate began, -1: none yet.
    std::array<std::int64_t, 3> lastPreamble_{-1, -1, -1};
    std::int64_t received_ = 0;  // samples given, in all
    std::int64_t fed_ = 0;       // of them, the receiver's
    std::vector<std::uint8_t> held_;
    std::vector<float> heldFull_;  // the same at full resolution, or none
    FinderLevel finderLevel_;
    std::vector<std::uint8_t> levelled_;  // the finder's samples from full ones
    std::deque<Switch> switches_;
};
