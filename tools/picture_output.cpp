#include "picture_output.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

void AppendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// One PNG chunk: length, type, data, and the CRC-32 of type and data.
void AppendChunk(std::vector<std::uint8_t>& out, const char (&type)[5], const std::uint8_t* data, std::size_t size)
{
    AppendBigEndian(out, static_cast<std::uint32_t>(size));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + size);
    const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(4 + size));
    AppendBigEndian(out, static_cast<std::uint32_t>(crc));
}

// The picture as an 8-bit grey PNG: every row unfiltered, the image data
// deflated at zlib's fastest level in one chunk. Pictures are small (4,860
// bytes raw), so trying each row's best filter and the slower levels, as
// general encoders do, costs more time than the bytes it saves are worth.
bool EncodePng(const Picture& picture, std::vector<std::uint8_t>& out)
{
    std::vector<std::uint8_t> raw;
    raw.reserve(kPictureHeight * (1 + kPictureWidth));
    for (const PictureLine& row : picture) {
        raw.push_back(0);  // filter type: none
        raw.insert(raw.end(), row.begin(), row.end());
    }
    uLongf deflatedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> deflated(deflatedSize);
    if (compress2(deflated.data(), &deflatedSize, raw.data(), static_cast<uLong>(raw.size()), Z_BEST_SPEED) !=
        Z_OK)
        return false;

    static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    out.assign(std::begin(kSignature), std::end(kSignature));
    std::vector<std::uint8_t> header;
    AppendBigEndian(header, kPictureWidth);
    AppendBigEndian(header, kPictureHeight);
    // Bit depth 8, colour type 0 (grey), deflate, adaptive filtering, no interlace.
    header.insert(header.end(), {8, 0, 0, 0, 0});
    AppendChunk(out, "IHDR", header.data(), header.size());
    AppendChunk(out, "IDAT", deflated.data(), deflatedSize);
    AppendChunk(out, "IEND", nullptr, 0);
    return true;
}

void EncodePgm(const Picture& picture, std::vector<std::uint8_t>& out)
{
    char header[32];
    const int length = std::snprintf(header, sizeof header, "P5\n%d %d\n255\n", kPictureWidth, kPictureHeight);
    out.assign(header, header + length);
    for (const PictureLine& row : picture) out.insert(out.end(), row.begin(), row.end());
}

// Writes all of bytes to fd, with syncToDisk onto the disk; closes fd in
// any case.
bool WriteWhole(int fd, const std::vector<std::uint8_t>& bytes, bool syncToDisk, std::string& error)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) {
            error = std::strerror(errno);
            ::close(fd);
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    const bool synced = !syncToDisk || fsync(fd) == 0;
    const int syncErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (!synced || !closed) {
        error = std::strerror(synced ? errno : syncErrno);
        return false;
    }
    return true;
}

// Gives the whole file temporary the name path unless a file has it
// already (another decode writing into the same directory): EEXIST then.
bool PublishWithoutReplacing(const std::string& temporary, const std::string& path)
{
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
#endif
    // A file system without that rename: a second link fails as well when
    // the name is taken.
    if (::link(temporary.c_str(), path.c_str()) != 0) return false;
    ::unlink(temporary.c_str());
    return true;
}

}  // namespace

// The picture goes into a hidden file beside path, which only takes path's
// name once it is whole, so a file under that name is never cut short: a
// full disk or a crash midway leaves at most the hidden file, and a failed
// write removes it.
PictureWrite WritePicture(const Picture& picture, const std::string& path, PictureFormat format, bool syncToDisk,
                          std::string& error)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    std::string temporary = path.substr(0, nameAt) + "." + path.substr(nameAt) + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return PictureWrite::Failed;
    }
    // mkostemp makes the file for its owner only; a picture is as readable as
    // any file the user creates.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    std::vector<std::uint8_t> bytes;
    if (format == PictureFormat::Pgm) EncodePgm(picture, bytes);
    else if (!EncodePng(picture, bytes)) error = "out of memory";
    const bool written = !bytes.empty() && WriteWhole(fd, bytes, syncToDisk, error);
    if (bytes.empty()) ::close(fd);
    if (written && PublishWithoutReplacing(temporary, path)) return PictureWrite::Written;
    const int publishErrno = errno;
    ::unlink(temporary.c_str());
    if (!written) return PictureWrite::Failed;
    error = std::strerror(publishErrno);
    return publishErrno == EEXIST ? PictureWrite::NameTaken : PictureWrite::Failed;
}
