#include "picture_output.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Takes over fd, which it closes.
bool WritePgm(const Picture& picture, int fd, std::string& error)
{
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        error = std::strerror(errno);
        ::close(fd);
        return false;
    }
    const bool written = std::fprintf(file, "P5\n%d %d\n255\n", kPictureWidth, kPictureHeight) > 0 &&
                         std::fwrite(picture.data(), 1, sizeof(Picture), file) == sizeof(Picture) &&
                         std::fflush(file) == 0 && fsync(fd) == 0;
    const int writeErrno = errno;
    if (std::fclose(file) != 0 || !written) {
        error = std::strerror(written ? errno : writeErrno);
        return false;
    }
    return true;
}

// Takes over fd, which it closes.
bool WritePng(const Picture& picture, int fd, std::string& error)
{
    QImage image(kPictureWidth, kPictureHeight, QImage::Format_Grayscale8);
    for (int y = 0; y < kPictureHeight; ++y) std::memcpy(image.scanLine(y), picture[y].data(), kPictureWidth);
    // The writer gets an open file rather than the name: a file of its own
    // it closes unchecked, and bytes still buffered then (a full disk) would
    // be lost without a word.
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        error = file.errorString().toStdString();
        ::close(fd);
        return false;
    }
    QImageWriter writer(&file, "png");
    if (!writer.write(image)) {
        error = writer.errorString().toStdString();
        return false;
    }
    if (!file.flush()) {
        error = file.errorString().toStdString();
        return false;
    }
    if (fsync(fd) != 0) {
        error = std::strerror(errno);
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString().toStdString();
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
PictureWrite WritePicture(const Picture& picture, const std::string& path, PictureFormat format, std::string& error)
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
    const bool written = format == PictureFormat::Pgm ? WritePgm(picture, fd, error) : WritePng(picture, fd, error);
    if (written && PublishWithoutReplacing(temporary, path)) return PictureWrite::Written;
    const int publishErrno = errno;
    ::unlink(temporary.c_str());
    if (!written) return PictureWrite::Failed;
    error = std::strerror(publishErrno);
    return publishErrno == EEXIST ? PictureWrite::NameTaken : PictureWrite::Failed;
}
