#include "image_input.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tx/frame_reduction.hpp"

namespace {

Picture PictureFromPixels(const QImage& image)
{
    Picture picture{};
    const bool grey = image.isGrayscale();
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) {
            const QRgb pixel = image.pixel(x, y);
            picture[y][x] = grey ? static_cast<std::uint8_t>(qRed(pixel))
                                 : GreyOf(static_cast<std::uint8_t>(qRed(pixel)), static_cast<std::uint8_t>(qGreen(pixel)),
                                          static_cast<std::uint8_t>(qBlue(pixel)));
        }
    }
    return picture;
}

// The 160 x 120 image as a camera delivers it: 3 bytes a pixel in the
// order red, green, blue.
Picture PictureFromFrameSizedImage(const QImage& image)
{
    std::vector<std::uint8_t> frame(kFrameBytes);
    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            const QRgb pixel = image.pixel(x, y);
            std::uint8_t* out = frame.data() + kFrameStride * y + kFrameBytesPerPixel * x;
            out[0] = static_cast<std::uint8_t>(qRed(pixel));
            out[1] = static_cast<std::uint8_t>(qGreen(pixel));
            out[2] = static_cast<std::uint8_t>(qBlue(pixel));
        }
    }
    Picture picture{};
    ReduceFrame(frame.data(), picture);
    return picture;
}

// What the image libraries say while an image is read: Qt's messages
// (libjpeg's warnings, the allocation limit) through a message handler,
// libpng's errors, which it prints itself, from standard error, which is
// sent to a temporary file meanwhile. None of it reaches the user as it
// stands: the tool's one line gives the reason (LoadFailure).
class LibraryMessages {
public:
    LibraryMessages()
    {
        collected_ = &text_;
        previousHandler_ = qInstallMessageHandler(Collect);
        std::fflush(stderr);
        capture_ = std::tmpfile();
        savedStderr_ = ::dup(STDERR_FILENO);
        const int into = capture_ != nullptr ? ::fileno(capture_) : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (savedStderr_ >= 0 && into >= 0) ::dup2(into, STDERR_FILENO);
        if (capture_ == nullptr && into >= 0) ::close(into);
    }
    ~LibraryMessages() { Restore(); }
    LibraryMessages(const LibraryMessages&) = delete;
    LibraryMessages& operator=(const LibraryMessages&) = delete;

    // Everything said, one message a line; standard error is back.
    const std::string& Text()
    {
        Restore();
        return text_;
    }

private:
    static void Collect(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        *collected_ += message.toStdString() + "\n";
    }

    void Restore()
    {
        if (collected_ == nullptr) return;
        qInstallMessageHandler(previousHandler_);
        collected_ = nullptr;
        std::fflush(stderr);
        if (savedStderr_ >= 0) {
            ::dup2(savedStderr_, STDERR_FILENO);
            ::close(savedStderr_);
        }
        if (capture_ != nullptr) {
            char said[1024];
            std::rewind(capture_);
            text_.append(said, std::fread(said, 1, sizeof said, capture_));
            std::fclose(capture_);
        }
    }

    static inline std::string* collected_ = nullptr;
    QtMessageHandler previousHandler_ = nullptr;
    std::FILE* capture_ = nullptr;
    int savedStderr_ = -1;
    std::string text_;
};

// The reason an image could not be read, in plain words, from what the
// reader and the libraries said.
std::string LoadFailure(const QImageReader& reader, const QSize& size, qint64 fileSize, const std::string& said)
{
    const auto saidAny = [&](const char* text) { return QString::fromStdString(said).contains(text, Qt::CaseInsensitive); };
    if (fileSize == 0) return "empty file";
    if (saidAny("allocation limit"))
        return "image too large: " + std::to_string(size.width()) + " \u00d7 " + std::to_string(size.height());
    if (saidAny("not a png file")) return "not a PNG file";
    if (reader.error() == QImageReader::UnsupportedFormatError) return "not an image file";
    if (saidAny("read error") || saidAny("premature end")) return "truncated image";
    // The library's own words, where it gave any, without its prefix.
    std::string detail = said.substr(0, said.find('\n'));
    if (detail.starts_with("libpng error: ")) detail.erase(0, 14);
    return detail.empty() ? "corrupt image data" : "corrupt image data (" + detail + ")";
}

// Covering the frame with the whole of a long, thin image would scale it to
// many times the frame: a 1 x 32767 PNG of 237 bytes to 160 x 5,242,720,
// 3.3 GB. Such an image is first cut to the centred part that the crop
// keeps (which can move the picture by about one source pixel); any image
// whose covering stays within 32 frames (2.4 MB) is left whole, so its
// picture does not change.
QImage CentredPartToCover(const QImage& image)
{
    constexpr qint64 kMostFrames = 32;
    const qint64 width = image.width();
    const qint64 height = image.height();
    // Taller than 4:3: covered at 160 wide, 160 * height / width high.
    if (kFrameWidth * height > kMostFrames * kFrameHeight * width) {
        const qint64 rows = (kFrameHeight * width + kFrameWidth - 1) / kFrameWidth;
        return image.copy(0, static_cast<int>((height - rows) / 2), image.width(), static_cast<int>(rows));
    }
    // Wider: covered at 120 high, 120 * width / height wide.
    if (kFrameHeight * width > kMostFrames * kFrameWidth * height) {
        const qint64 columns = (kFrameWidth * height + kFrameHeight - 1) / kFrameHeight;
        return image.copy(static_cast<int>((width - columns) / 2), 0, static_cast<int>(columns), image.height());
    }
    return image;
}

// Qt refuses to decode an image whose pixels at 32 bits would exceed its
// allocation limit (128 MB: a 5800 x 5800 photo). Such an image is read
// already reduced, as a JPEG decoder can while decoding, to a size at the
// same aspect that still covers eight times the frame in each direction, so
// the covering and crop come out as from the whole image. Any image Qt reads
// whole is left whole and its picture does not change.
void ReduceWhileReadingIfTooLarge(QImageReader& reader)
{
    const QSize size = reader.size();
    const qint64 limit = qint64{QImageReader::allocationLimit()} * 1024 * 1024;
    if (size.isEmpty() || limit == 0 || qint64{size.width()} * size.height() * 4 <= limit) return;
    const double scale = std::max(8.0 * kFrameWidth / size.width(), 8.0 * kFrameHeight / size.height());
    if (scale >= 1.0) return;  // long and thin: reduction would not help the cover
    reader.setScaledSize(QSize(std::max(1, static_cast<int>(std::lround(size.width() * scale))),
                               std::max(1, static_cast<int>(std::lround(size.height() * scale)))));
}

// The file by its name's bytes as they stand, whatever their encoding (Qt
// would take them as UTF-8). A directory is refused as such: Qt would call
// it a file not found.
bool OpenImageFile(const std::string& path, QFile& file, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (fd < 0 || fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        error = std::strerror(fd >= 0 && S_ISDIR(status.st_mode) ? EISDIR : errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        error = file.errorString().toStdString();
        ::close(fd);
        return false;
    }
    return true;
}

}  // namespace

Picture PictureFromImage(const QImage& image)
{
    if (image.width() == kPictureWidth && image.height() == kPictureHeight) return PictureFromPixels(image);
    if (image.width() == kFrameWidth && image.height() == kFrameHeight) return PictureFromFrameSizedImage(image);
    const QImage covering = CentredPartToCover(image).scaled(kFrameWidth, kFrameHeight, Qt::KeepAspectRatioByExpanding,
                                                             Qt::SmoothTransformation);
    const QImage cropped = covering.copy((covering.width() - kFrameWidth) / 2, (covering.height() - kFrameHeight) / 2,
                                         kFrameWidth, kFrameHeight);
    return PictureFromFrameSizedImage(cropped);
}

bool LoadPicture(const std::string& path, Picture& picture, std::string& error)
{
    QFile file;
    if (!OpenImageFile(path, file, error)) return false;
    // The suffix names the format to try first, as it would with the name.
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    const bool suffixed = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    QImageReader reader(&file, suffixed ? QByteArray::fromStdString(path.substr(dot + 1)).toLower() : QByteArray());
    LibraryMessages messages;
    ReduceWhileReadingIfTooLarge(reader);
    const QSize size = reader.size();
    const QImage image = reader.read();
    const std::string& said = messages.Text();
    // libjpeg fills in the missing part of a cut-short JPEG with grey, and
    // Qt only warns of it.
    if (image.isNull() || QString::fromStdString(said).contains("premature end", Qt::CaseInsensitive)) {
        error = LoadFailure(reader, size, file.size(), said);
        return false;
    }
    picture = PictureFromImage(image);
    return true;
}
