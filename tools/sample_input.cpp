#include "sample_input.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/samples.hpp"

namespace {

// Closes a file descriptor when it goes.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Exactly size bytes at offset; false at an error or the end of the file.
bool ReadAt(int fd, std::int64_t offset, std::uint8_t* bytes, std::size_t size)
{
    for (std::size_t done = 0; done < size;) {
        const ssize_t got = ::pread(fd, bytes + done, size - done, offset + static_cast<std::int64_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

std::uint32_t LittleEndian(const std::uint8_t* bytes, int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

// Where the samples of a plain 8-bit mono 22050/s PCM WAV begin, and how
// many its data chunk says there are.
struct DataChunk {
    std::int64_t offset = 0;
    std::int64_t size = 0;
};

// The data chunk, when the header is that of a plain WAV; false otherwise.
bool FindPlainData(int fd, std::int64_t fileSize, DataChunk& data)
{
    std::array<std::uint8_t, 16> header{};
    if (!ReadAt(fd, 0, header.data(), 12) || std::memcmp(header.data(), "RIFF", 4) != 0 ||
        std::memcmp(header.data() + 8, "WAVE", 4) != 0)
        return false;
    bool plainFormat = false;
    for (std::int64_t at = 12; at + 8 <= fileSize;) {
        if (!ReadAt(fd, at, header.data(), 8)) return false;
        const std::int64_t size = LittleEndian(header.data() + 4, 4);
        const std::int64_t body = at + 8;
        if (std::memcmp(header.data(), "fmt ", 4) == 0) {
            // PCM, 1 channel, 22050 frames/s, as many bytes/s, 1 byte a frame, 8 bits.
            if (size < 16 || !ReadAt(fd, body, header.data(), 16)) return false;
            plainFormat = LittleEndian(header.data(), 2) == 1 && LittleEndian(header.data() + 2, 2) == 1 &&
                          LittleEndian(header.data() + 4, 4) == kSampleRate &&
                          LittleEndian(header.data() + 8, 4) == kSampleRate && LittleEndian(header.data() + 12, 2) == 1 &&
                          LittleEndian(header.data() + 14, 2) == 8;
            if (!plainFormat) return false;
        } else if (std::memcmp(header.data(), "data", 4) == 0) {
            // A size of 0 or 2^32 - 1 is a writer's that never came back to
            // fill it in; what it means is the audio library's to judge.
            if (!plainFormat || size == 0 || size == 0xFFFFFFFF) return false;
            data = {body, size};
            return true;
        }
        at = body + size + (size & 1);  // chunks are padded to an even size
    }
    return false;
}

}  // namespace

std::optional<bool> ReadPlainWav(const std::string& path, SampleSink& sink, std::string& error)
{
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (file.get() < 0 || fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    DataChunk data;
    if (!FindPlainData(file.get(), status.st_size, data)) return std::nullopt;

    const std::int64_t total = std::min<std::int64_t>(data.size, std::max<std::int64_t>(status.st_size - data.offset, 0));
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(kFileChunkFrames));
    for (std::int64_t read = 0; read < data.size;) {
        const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(kFileChunkFrames, data.size - read));
        const ssize_t got = ::pread(file.get(), chunk.data(), wanted, data.offset + read);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = std::strerror(errno);
            return false;
        }
        if (got == 0) break;  // cut short
        read += got;
        if (!sink.Take(std::span<const std::uint8_t>(chunk.data(), static_cast<std::size_t>(got)))) break;
        sink.Progress(read, total);
    }
    return true;
}

std::uint8_t SampleToUnsigned8(float value)
{
    const double level = std::floor(static_cast<double>(value) * 128.0) + 128.0;
    if (!(level >= 0.0)) return 0;  // also NaN
    if (level > 255.0) return 255;
    return static_cast<std::uint8_t>(level);
}

bool ReadRawSamples(int fd, SampleSink& sink, std::string& error)
{
    std::vector<std::uint8_t> chunk(4096);
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got > 0) {
            if (!sink.Take(std::span<const std::uint8_t>(chunk.data(), static_cast<std::size_t>(got)))) return true;
        } else if (got == 0) {
            return true;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // A descriptor left non-blocking by whoever opened it: wait for
            // the samples as a blocking read would.
            pollfd ready{fd, POLLIN, 0};
            if (poll(&ready, 1, -1) < 0) {
                if (errno != EINTR) {
                    error = std::strerror(errno);
                    return false;
                }
                if (!sink.Take({})) return true;
            }
        } else if (errno != EINTR) {
            error = std::strerror(errno);
            return false;
        } else if (!sink.Take({})) {
            return true;
        }
    }
}
