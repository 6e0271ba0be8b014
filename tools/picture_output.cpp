#include "tools/picture_output.hpp"

#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

bool WritePgm(const Picture& picture, const std::string& path, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    const bool written = std::fprintf(file, "P5\n%d %d\n255\n", kPictureWidth, kPictureHeight) > 0 &&
                         std::fwrite(picture.data(), 1, sizeof(Picture), file) == sizeof(Picture);
    const int writeErrno = errno;
    if (std::fclose(file) != 0 || !written) {
        error = std::strerror(written ? errno : writeErrno);
        return false;
    }
    return true;
}

bool WritePng(const Picture& picture, const std::string& path, std::string& error)
{
    QImage image(kPictureWidth, kPictureHeight, QImage::Format_Grayscale8);
    for (int y = 0; y < kPictureHeight; ++y) std::memcpy(image.scanLine(y), picture[y].data(), kPictureWidth);
    // The writer gets an open file rather than the name: a file of its own
    // it closes unchecked, and bytes still buffered then (a full disk) would
    // be lost without a word.
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = file.errorString().toStdString();
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
    file.close();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

}  // namespace

bool WritePicture(const Picture& picture, const std::string& path, PictureFormat format, std::string& error)
{
    return format == PictureFormat::Pgm ? WritePgm(picture, path, error) : WritePng(picture, path, error);
}
