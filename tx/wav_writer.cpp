#include "tx/wav_writer.hpp"

#include <array>
#include <cstdio>
#include <limits>

namespace {

void PutU16(std::uint8_t* out, std::uint32_t value)
{
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::uint8_t* out, std::uint32_t value)
{
    PutU16(out, value);
    PutU16(out + 2, value >> 16);
}

bool WriteAll(std::FILE* file, const void* data, std::size_t size)
{
    // An empty span may carry a null pointer, which fwrite must not see.
    return size == 0 || std::fwrite(data, 1, size, file) == size;
}

// A chunk header: four-character identifier and little-endian size.
bool WriteChunkHeader(std::FILE* file, const char* id, std::uint32_t size)
{
    std::array<std::uint8_t, 8> header{};
    for (int i = 0; i < 4; ++i) header[i] = static_cast<std::uint8_t>(id[i]);
    PutU32(header.data() + 4, size);
    return WriteAll(file, header.data(), header.size());
}

// The RIFF header is written with size 0 first and fixed once everything
// after it is on disk, as a chunk-oriented writer would.
bool WriteRiffHeader(std::FILE* file)
{
    return WriteChunkHeader(file, "RIFF", 0) && WriteAll(file, "WAVE", 4);
}

bool WriteFormatChunk(std::FILE* file, std::uint32_t sampleRate)
{
    std::array<std::uint8_t, 16> record{};
    PutU16(record.data() + 0, 1);  // PCM
    PutU16(record.data() + 2, 1);  // mono
    PutU32(record.data() + 4, sampleRate);
    PutU32(record.data() + 8, sampleRate);  // one byte per sample
    PutU16(record.data() + 12, 1);          // block alignment
    PutU16(record.data() + 14, 8);          // bits per sample
    return WriteChunkHeader(file, "fmt ", 16) && WriteAll(file, record.data(), record.size());
}

bool WriteDataChunk(std::FILE* file, std::span<const std::uint8_t> samples)
{
    const auto size = static_cast<std::uint32_t>(samples.size());
    if (!WriteChunkHeader(file, "data", size) || !WriteAll(file, samples.data(), samples.size())) return false;
    const std::uint8_t pad = 0;
    if (size % 2 != 0 && !WriteAll(file, &pad, 1)) return false;
    // Buffered bytes that cannot reach the disk (a full disk) fail here,
    // not silently at close.
    return std::fflush(file) == 0;
}

bool FixRiffSize(std::FILE* file, std::uint32_t riffSize)
{
    std::array<std::uint8_t, 4> size{};
    PutU32(size.data(), riffSize);
    return std::fseek(file, 4, SEEK_SET) == 0 && WriteAll(file, size.data(), size.size()) && std::fflush(file) == 0;
}

}  // namespace

std::int32_t WavWriter::WriteWavFile(WindowHandle owner, const char* fileName, std::span<const std::uint8_t> samples,
                                     std::uint32_t sampleRate)
{
    std::FILE* file = std::fopen(fileName, "wb");
    if (file == nullptr) {
        messages_.Show(owner, "CANTOPENFILE", "Error");
        return 0;
    }

    // 36 + N + P must fit the 32-bit RIFF size.
    constexpr std::size_t kMaxSamples = std::numeric_limits<std::uint32_t>::max() - 37;
    const std::size_t pad = samples.size() % 2;
    const char* failure = nullptr;
    if (!WriteRiffHeader(file)) {
        failure = "CANTWRITEWAVE";
    } else if (samples.size() > kMaxSamples || !WriteFormatChunk(file, sampleRate) || !WriteDataChunk(file, samples)) {
        failure = "CANTWRITEDATA";
    } else if (!FixRiffSize(file, static_cast<std::uint32_t>(36 + samples.size() + pad))) {
        failure = "CANTWRITEWAVE";
    }

    if (failure != nullptr) {
        messages_.Show(owner, failure, "Error");
        std::fclose(file);
        return 0;
    }
    if (std::fclose(file) != 0) {
        messages_.Show(owner, "CANTWRITEWAVE", "Error");
        return 0;
    }
    return 1;
}
