#include "tx/wav_writer.hpp"

#include <array>
#include <cerrno>
#include <limits>

namespace {

// 36 + N + P must fit the 32-bit RIFF size.
constexpr std::size_t kMaxSamples = std::numeric_limits<std::uint32_t>::max() - 37;
constexpr long kRiffSizeOffset = 4;
constexpr long kDataSizeOffset = 40;

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

bool PutSizeAt(std::FILE* file, long offset, std::uint32_t value)
{
    std::array<std::uint8_t, 4> size{};
    PutU32(size.data(), value);
    return std::fseek(file, offset, SEEK_SET) == 0 && WriteAll(file, size.data(), size.size());
}

}  // namespace

WavWriter::~WavWriter()
{
    if (file_ != nullptr) std::fclose(file_);
}

WavResult WavWriter::Fail(WavResult result, int systemError)
{
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    systemError_ = systemError;
    return result;
}

WavResult WavWriter::WriteWavFile(const char* fileName, std::span<const std::uint8_t> samples, std::uint32_t sampleRate)
{
    if (const WavResult opened = Open(fileName, sampleRate); opened != WavResult::Written) return opened;
    if (const WavResult appended = Append(samples); appended != WavResult::Written) return appended;
    return Finish();
}

// The sizes are written as 0 first and filled in once everything after
// them is on disk, as a chunk-oriented writer would.
WavResult WavWriter::Open(const char* fileName, std::uint32_t sampleRate)
{
    if (file_ != nullptr) std::fclose(file_);
    samples_ = 0;
    systemError_ = 0;
    file_ = std::fopen(fileName, "wb");
    if (file_ == nullptr) return Fail(WavResult::CannotOpen, errno);
    if (!WriteChunkHeader(file_, "RIFF", 0) || !WriteAll(file_, "WAVE", 4))
        return Fail(WavResult::CannotWriteHeader, errno);
    if (!WriteFormatChunk(file_, sampleRate) || !WriteChunkHeader(file_, "data", 0))
        return Fail(WavResult::CannotWriteData, errno);
    return WavResult::Written;
}

WavResult WavWriter::Append(std::span<const std::uint8_t> samples)
{
    if (file_ == nullptr) return Fail(WavResult::CannotWriteData, 0);
    if (samples.size() > kMaxSamples - samples_) return Fail(WavResult::CannotWriteData, 0);
    if (!WriteAll(file_, samples.data(), samples.size())) return Fail(WavResult::CannotWriteData, errno);
    samples_ += samples.size();
    return WavResult::Written;
}

WavResult WavWriter::Finish()
{
    if (file_ == nullptr) return Fail(WavResult::CannotWriteData, 0);
    const std::size_t pad = samples_ % 2;
    const std::uint8_t zero = 0;
    // Buffered bytes that cannot reach the disk (a full disk) fail here,
    // not silently at close.
    if (!WriteAll(file_, &zero, pad) || std::fflush(file_) != 0) return Fail(WavResult::CannotWriteData, errno);
    if (!PutSizeAt(file_, kRiffSizeOffset, static_cast<std::uint32_t>(36 + samples_ + pad)) ||
        !PutSizeAt(file_, kDataSizeOffset, static_cast<std::uint32_t>(samples_)) || std::fflush(file_) != 0)
        return Fail(WavResult::CannotWriteHeader, errno);
    std::FILE* file = file_;
    file_ = nullptr;
    if (std::fclose(file) != 0) return Fail(WavResult::CannotWriteHeader, errno);
    return WavResult::Written;
}
