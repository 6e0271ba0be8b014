#pragma once
// A capture ring filled by the test: Record writes samples at the ring's
// write position, wrapping, as the device would. Position and lock can be
// made to fail, and starts can be refused (no device).

#include <cstdint>
#include <span>
#include <vector>

#include "fakes/call_log.hpp"
#include "sound_input.hpp"

class FakeSoundInput : public SoundInput {
public:
    bool Start() override
    {
        ++starts;
        if (log) log->Add("sound start");
        if (!devicepresent) return false;
        ring.assign(kCaptureRingSize, 0);
        writePosition = 0;
        running = true;
        return true;
    }
    void Stop() override
    {
        ++stops;
        if (log) log->Add("sound stop");
        running = false;
        ring.clear();
    }
    bool ReadPosition(std::uint32_t& position) override
    {
        position = writePosition;
        return !failPosition;
    }
    bool Lock(std::uint32_t offset, std::uint32_t bytes, CaptureRegions& regions) override
    {
        if (failLock) return false;
        const std::uint32_t first = std::min(bytes, kCaptureRingSize - offset);
        regions.first = std::span<const std::uint8_t>(ring).subspan(offset, first);
        regions.second = std::span<const std::uint8_t>(ring).subspan(0, bytes - first);
        ++locked;
        return true;
    }
    void Unlock(const CaptureRegions&) override { --locked; }

    void Record(std::span<const std::uint8_t> samples)
    {
        for (std::uint8_t sample : samples) {
            ring[writePosition] = sample;
            writePosition = (writePosition + 1) % kCaptureRingSize;
        }
    }

    bool devicepresent = true;
    bool failPosition = false;
    bool failLock = false;
    CallLog* log = nullptr;
    bool running = false;
    int starts = 0;
    int stops = 0;
    int locked = 0;  // regions locked and not unlocked
    std::vector<std::uint8_t> ring;
    std::uint32_t writePosition = 0;
};
