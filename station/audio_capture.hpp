#pragma once
// Live reception: the sound card records into a 3-second ring, and every
// timer tick hands the samples recorded since the last tick, in order, to
// the receive chain. Also what the "RX" menu toggle does. User-interface
// thread only.

#include <cstdint>
#include <optional>

#include "common/samples.hpp"
#include "sound_input.hpp"

// Receiver: SetSamplesPerBit(int32_t) and Receive(span of samples).
template <class Receiver>
class AudioCapture {
public:
    AudioCapture(SoundInput& input, const SamplesPerBit& samplesPerBit, Receiver& receiver)
        : input_(input), samplesPerBit_(samplesPerBit), receiver_(receiver)
    {
    }

    // 0 when capture runs, 1 when it could not be started.
    std::int32_t StartAudioCapture()
    {
        lastReadOffset = 0;
        positionFailed_ = false;
        return input_.Start() ? 0 : 1;
    }

    void StopAudioCapture() { input_.Stop(); }

    // Hands on every sample recorded since the last poll. A failed position
    // or range hands on nothing; the next poll starts from the same offset.
    void PollAudioCapture()
    {
        receiver_.SetSamplesPerBit(samplesPerBit_.load(std::memory_order_relaxed));
        const std::optional<std::uint32_t> written = input_.WritePosition();
        positionFailed_ = !written;
        if (positionFailed_) return;
        const std::uint32_t position = *written;
        // More than a whole ring since the last poll is lost without notice.
        const std::uint32_t count =
            position >= lastReadOffset ? position - lastReadOffset : kCaptureRingSize - lastReadOffset + position;
        const std::optional<CaptureRegions> regions = input_.Regions(lastReadOffset, count);
        if (!regions) return;
        lastReadOffset = position;
        receiver_.Receive(regions->first);
        receiver_.Receive(regions->second);
    }

    // The "RX" menu command. A failed start leaves receiving wanted, so the
    // next command only turns it off and the one after tries again.
    void ToggleReceive()
    {
        if (receiveWanted == 1) {
            receiveWanted = 0;
            if (receiverNotRunning == 0) StopAudioCapture();
            receiverNotRunning = 1;
            return;
        }
        receiveWanted = 1;
        receiverNotRunning = StartAudioCapture();
    }

    // True while "RX" is on but nothing can be recorded: the start failed,
    // or the device stopped giving its position. "RX" twice tries afresh.
    bool InputLost() const { return receiveWanted == 1 && (receiverNotRunning != 0 || positionFailed_); }

    std::uint32_t lastReadOffset = 0;
    // Follows the "RX" check mark, on at start.
    std::int32_t receiveWanted = 1;
    // 0 while capture runs; the timer polls only then.
    std::int32_t receiverNotRunning = 1;

private:
    SoundInput& input_;
    const SamplesPerBit& samplesPerBit_;
    Receiver& receiver_;
    bool positionFailed_ = false;
};
