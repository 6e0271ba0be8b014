#pragma once
// A capture ring filled by the test: Record writes samples at the ring's
// write position, wrapping, as the device would. Position and lock can be
// made to fail, and starts can be refused (no device).

#include <algorithm>
#include <cstdint>
#include <optional>
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
    std::optional<std::uint32_t> WritePosition() override
    {
        if (failPosition) return {};
        return writePosition;
    }
    std::optional<CaptureRegions> Regions(std::uint32_t offset, std::uint32_t bytes) override
    {
        if (failRegions) return {};
        const std::uint32_t first = std::min(bytes, kCaptureRingSize - offset);
        return CaptureRegions{std::span<const std::uint8_t>(ring).subspan(offset, first),
                              std::span<const std::uint8_t>(ring).subspan(0, bytes - first)};
    }

    void Record(std::span<const std::uint8_t> samples)
    {
        for (std::uint8_t sample : samples) {
            ring[writePosition] = sample;
            writePosition = (writePosition + 1) % kCaptureRingSize;
        }
    }

    bool devicepresent = true;
    bool failPosition = false;
    bool failRegions = false;
    CallLog* log = nullptr;
    bool running = false;
    int starts = 0;
    int stops = 0;
    std::vector<std::uint8_t> ring;
    std::uint32_t writePosition = 0;
};
