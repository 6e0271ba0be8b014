#pragma once
// Synchronous playback of WAV files.

#include <string>

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Plays the file through the default output on the calling thread and
    // returns once the sound has ended. A file that cannot be played gives
    // the short default alert sound instead. Each call looks for the output
    // afresh. False when no sound could be played: there is no output
    // device, it refuses the sound, or it failed while playing (then at once).
    virtual bool PlaySync(const std::string& fileName) = 0;
    // From any thread, as the process ends: cuts the sound being played
    // short, and every later PlaySync returns at once.
    virtual void Shutdown() = 0;
};
