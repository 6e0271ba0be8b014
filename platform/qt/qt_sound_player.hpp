#pragma once
// Plays RIFF WAVE files (PCM, 8/16/32-bit integer or 32-bit float) through
// the default audio output with a QAudioSink made on the calling thread,
// which needs no event loop of its own: PlaySync runs a local one.
// Make it on the GUI thread after the QApplication exists.

#include <atomic>
#include <string>

#include "sound_player.hpp"

class QtSoundPlayer : public SoundPlayer {
public:
    QtSoundPlayer();

    bool PlaySync(const std::string& fileName) override;
    void Shutdown() override;

private:
    std::atomic<bool> shutDown_{false};
};
