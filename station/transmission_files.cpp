#include "transmission_files.hpp"

#include <cstdio>

#include "common/samples.hpp"

namespace {
constexpr std::int32_t kFileCount = 20;
}  // namespace

std::string TransmissionFileName(std::int64_t number)
{
    char name[16];
    std::snprintf(name, sizeof name, "nbtv%02d.wav", static_cast<int>(number % kFileCount));
    return name;
}

WavResult TransmissionFiles::WriteNext(std::span<const std::uint8_t> samples)
{
    fileCounter_ = fileCounter_ + 1 == kFileCount ? 0 : fileCounter_ + 1;
    return writer_.WriteWavFile(TransmissionFileName(fileCounter_).c_str(), samples, kSampleRate);
}
