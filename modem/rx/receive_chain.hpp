#pragma once
// The whole receiver, from samples to the received picture, with the state
// that lives as long as the process.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "rx/bit_clock.hpp"
#include "rx/frame_decoder.hpp"
#include "rx/level_tracker.hpp"

// LineSink takes the completed lines (StoreLine, ResetPictureRow): the
// received picture, or anything standing in front of it.
template <class LineSink>
class ReceiveChain {
public:
    explicit ReceiveChain(LineSink& sink) : decoder(sink), sink_(sink) {}
    ReceiveChain(const ReceiveChain&) = delete;  // the stages refer to each other
    ReceiveChain& operator=(const ReceiveChain&) = delete;

    FrameDecoder<LineSink> decoder;
    BitClock<FrameDecoder<LineSink>> clock{decoder};
    LevelTracker<BitClock<FrameDecoder<LineSink>>> tracker{clock};

    // Samples per bit of the samples that follow: 2, 3 or 4.
    void SetSamplesPerBit(std::int32_t samplesPerBit) { clock.SetSamplesPerBit(samplesPerBit); }

    // Samples as recorded, in order.
    void Receive(std::span<const std::uint8_t> samples)
    {
        // The poll runs on local stages with copies of the state, copied
        // back at the end: the members could be aliased by the line's byte
        // stores and by StoreLine, so they would be stored and reloaded at
        // every sample.
        FrameDecoder<LineSink> localDecoder(sink_, decoder);
        BitClock<FrameDecoder<LineSink>> localClock(localDecoder, clock);
        LevelTracker<BitClock<FrameDecoder<LineSink>>> localTracker(localClock, tracker);
        for (std::uint8_t sample : samples) localTracker.TrackSample(sample);
        static_cast<FrameDecoderState&>(decoder) = localDecoder;
        static_cast<BitClockState&>(clock) = localClock;
        static_cast<LevelTrackerState&>(tracker) = localTracker;
    }

private:
    LineSink& sink_;
};

// "dc-offset %3d, max %3d, min %3d", each value truncated toward zero.
template <class Tracker>
std::string LevelLine(const Tracker& tracker)
{
    char line[64];  // room for three values of any int
    std::snprintf(line, sizeof line, "dc-offset %3d, max %3d, min %3d", static_cast<int>(tracker.dcLevel),
                  static_cast<int>(tracker.peakLevel), static_cast<int>(tracker.troughLevel));
    return line;
}
