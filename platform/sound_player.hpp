#pragma once
// Synchronous playback of the transmitter's sound.

#include <cstdint>
#include <span>

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Plays unsigned 8-bit mono samples at sampleRate through the default
    // output on the calling thread and returns once the sound has ended. No
    // samples give the short default alert sound instead. Each call looks
    // for the output afresh. False when no sound could be played: there is
    // no output device, it refuses the sound, or it failed while playing
    // (then at once).
    virtual bool PlaySync(std::span<const std::uint8_t> samples, int sampleRate) = 0;
    // From any thread, as the process ends: cuts the sound being played
    // short, and every later PlaySync returns at once.
    virtual void Shutdown() = 0;
};
