#include "tools/image_input.hpp"

#include <QImage>
#include <QImageReader>
#include <QString>
#include <vector>

#include "capture/frame_reduction.hpp"

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

// The 160 x 120 image as a camera delivers it: bottom row first, 3 bytes a
// pixel in the order blue, green, red.
Picture PictureFromFrameSizedImage(const QImage& image)
{
    std::vector<std::uint8_t> frame(kFrameBytes);
    for (int row = 0; row < kFrameHeight; ++row) {
        const int y = kFrameHeight - 1 - row;
        for (int x = 0; x < kFrameWidth; ++x) {
            const QRgb pixel = image.pixel(x, y);
            std::uint8_t* out = frame.data() + 480 * row + 3 * x;
            out[0] = static_cast<std::uint8_t>(qBlue(pixel));
            out[1] = static_cast<std::uint8_t>(qGreen(pixel));
            out[2] = static_cast<std::uint8_t>(qRed(pixel));
        }
    }
    Picture picture{};
    ReduceFrame(frame.data(), picture);
    return picture;
}

}  // namespace

Picture PictureFromImage(const QImage& image)
{
    if (image.width() == kPictureWidth && image.height() == kPictureHeight) return PictureFromPixels(image);
    if (image.width() == kFrameWidth && image.height() == kFrameHeight) return PictureFromFrameSizedImage(image);
    const QImage covering =
        image.scaled(kFrameWidth, kFrameHeight, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    const QImage cropped = covering.copy((covering.width() - kFrameWidth) / 2, (covering.height() - kFrameHeight) / 2,
                                         kFrameWidth, kFrameHeight);
    return PictureFromFrameSizedImage(cropped);
}

bool LoadPicture(const std::string& path, Picture& picture, std::string& error)
{
    QImageReader reader(QString::fromStdString(path));
    const QImage image = reader.read();
    if (image.isNull()) {
        error = reader.errorString().toStdString();
        return false;
    }
    picture = PictureFromImage(image);
    return true;
}
