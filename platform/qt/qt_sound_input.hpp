#pragma once
// Records the default input device with a QAudioSource (unsigned 8-bit mono,
// 22050 samples/s) into a looping ring of 66,150 bytes. Lives on the GUI
// thread: what the source has delivered is moved into the ring as it
// arrives and again just before each write position is given.

#include <QObject>
#include <memory>
#include <vector>

#include "sound_input.hpp"

class QAudioSource;
class QIODevice;

class QtSoundInput : public SoundInput {
public:
    QtSoundInput();
    ~QtSoundInput() override;

    bool Start() override;
    void Stop() override;
    std::optional<std::uint32_t> WritePosition() override;
    std::optional<CaptureRegions> Regions(std::uint32_t offset, std::uint32_t bytes) override;

private:
    void Drain();

    std::unique_ptr<QAudioSource> source_;
    QIODevice* device_ = nullptr;  // owned by source_
    std::vector<std::uint8_t> ring_;
    std::uint32_t writePosition_ = 0;
};
