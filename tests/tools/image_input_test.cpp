// Images read as telvane-cli reads them.

#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "support/working_directory.hpp"
#include "image_input.hpp"

namespace {

// Qt's limit on one image's memory, lowered for a test and then restored.
class AllocationLimit {
public:
    explicit AllocationLimit(int megabytes) { QImageReader::setAllocationLimit(megabytes); }
    ~AllocationLimit() { QImageReader::setAllocationLimit(previous_); }
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;

private:
    const int previous_ = QImageReader::allocationLimit();
};

// A photo too large for Qt's allocation limit (here 8 MB for the 20 MB of
// 2600 x 1600 pixels; 128 MB for a 48-megapixel camera's) is read reduced,
// and gives the picture the whole image gives: same covering, same crop. The
// image is wider than the frame, with detail across it, so a crop or aspect
// that moved would show.
TEST(ImageInput, APhotoTooLargeForQtGivesThePictureOfTheWholeImage)
{
    TemporaryDirectory dir("telvane-image");
    const std::string path = (dir.Path() / "photo.jpg").string();
    QImage photo(2600, 1600, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(128 + static_cast<int>(100 * std::sin(x / 40.0)), y * 255 / 1600, 90));
    ASSERT_TRUE(photo.save(QString::fromStdString(path), "jpg", 95));

    Picture whole{};
    Picture reduced{};
    std::string error;
    ASSERT_TRUE(LoadPicture(path, whole, error)) << error;
    {
        const AllocationLimit limit(8);
        ASSERT_TRUE(LoadPicture(path, reduced, error)) << error;
    }
    int largest = 0;
    for (int y = 0; y < kPictureHeight; ++y)
        for (int x = 0; x < kPictureWidth; ++x) largest = std::max(largest, std::abs(whole[y][x] - reduced[y][x]));
    EXPECT_LE(largest, 2);
}

}  // namespace
