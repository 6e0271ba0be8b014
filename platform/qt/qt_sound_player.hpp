#pragma once
// Plays 8-bit samples through the default audio output with a QAudioSink
// made on the calling thread, which needs no event loop of its own:
// PlaySync runs a local one.
// Make it on the GUI thread after the QApplication exists.

#include <atomic>
#include <cstdint>
#include <span>

#include "sound_player.hpp"

class QtSoundPlayer : public SoundPlayer {
public:
    QtSoundPlayer();

    bool PlaySync(std::span<const std::uint8_t> samples, int sampleRate) override;
    void Shutdown() override;

private:
    std::atomic<bool> shutDown_{false};
};
