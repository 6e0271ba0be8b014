// Inputs the fuzzers (fuzz/) found faults with, read as telvane-cli reads
// them.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QImage>
#include <QString>
#include <cstdint>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "support/working_directory.hpp"
#include "image_input.hpp"

namespace {

long PeakMemoryKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Black, with a white middle well beyond what the centre crop keeps.
void SaveLongThinPng(int width, int height, const std::string& path)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::black);
    const bool tall = height > width;
    for (int i = 16383 - 2000; i <= 16383 + 2000; ++i) image.setPixel(tall ? 0 : i, tall ? i : 0, qRgb(255, 255, 255));
    ASSERT_TRUE(image.save(QString::fromStdString(path), "png"));
}

void SaveBytes(const std::vector<std::uint8_t>& bytes, const std::string& path)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The GIF seed with its screen widened to 65535 x 1 (two bytes changed): the
// 2 x 1 frame at its left, the rest the background.
void SaveWideScreenGif(const std::string& path)
{
    SaveBytes({'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255, ',', 0, 0, 0, 0, 2, 0,
               1, 0, 0, 2, 2, 0x44, 0x0A, 0, ';'},
              path);
}

// As the image fuzzer found it: a 24-bit BMP header for 13 x 589824 pixels
// and 31 bytes of them (Qt makes the rest black).
void SaveTallBmp(const std::string& path)
{
    SaveBytes({0x42, 0x4D, 0x9E, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x36, 0x00, 0x00, 0x00, 0x28, 0x00, 0x00,
               0x00, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09, 0x00, 0x01, 0x00, 0x18, 0x00, 0x00, 0x00, 0x00, 0x00,
               0x39, 0xFF, 0x9F, 0xBF, 0x69, 0x9F, 0x54, 0x7F, 0xAA, 0x5B, 0x7F, 0xBF, 0x62, 0x7F, 0xD4, 0x9F, 0x2A,
               0x38, 0x9F, 0x3F, 0x3F, 0x9F, 0x9F, 0x55, 0x46, 0x6A, 0x4D, 0x9F, 0x7F, 0x54, 0x9F},
              path);
}

struct LongThinImage {
    const char* name;
    void (*save)(const std::string& path);
};

void PrintTo(const LongThinImage& image, std::ostream* out) { *out << image.name; }

// A few dozen bytes of long, thin image made LoadPicture scale it whole to
// cover 160 x 120: 160 x 5,242,720 pixels (3.3 GB, 11 s) for 1 x 32767,
// and where that much memory was not to be had, a black picture. Such an
// image must come out as its centre does, on a few megabytes. One image a
// test: the peak is the process's, and CTest runs each test on its own.
class FuzzRegressionLongThinImage : public ::testing::TestWithParam<LongThinImage> {};

TEST_P(FuzzRegressionLongThinImage, TakesItsCentreWithoutScalingTheWhole)
{
    TemporaryWorkingDirectory dir("telvane-fuzz");
    const std::string path = (dir.Path() / GetParam().name).string();
    GetParam().save(path);
    const QImage image(QString::fromStdString(path));
    ASSERT_FALSE(image.isNull());
    const QImage centre = image.copy(image.width() / 2, image.height() / 2, 1, 1);

    const long before = PeakMemoryKilobytes();
    Picture picture{};
    std::string error;
    ASSERT_TRUE(LoadPicture(path, picture, error)) << error;
    EXPECT_LT(PeakMemoryKilobytes() - before, 256 * 1024) << "kilobytes more at the peak";
    EXPECT_EQ(picture, PictureFromImage(centre));
}

INSTANTIATE_TEST_SUITE_P(
    Images, FuzzRegressionLongThinImage,
    ::testing::Values(LongThinImage{"tall.png", [](const std::string& path) { SaveLongThinPng(1, 32767, path); }},
                      LongThinImage{"wide.png", [](const std::string& path) { SaveLongThinPng(32767, 1, path); }},
                      LongThinImage{"wide-screen.gif", SaveWideScreenGif},
                      LongThinImage{"tall.bmp", SaveTallBmp}),
    [](const ::testing::TestParamInfo<LongThinImage>& param) {
        std::string name = param.param.name;
        for (char& c : name)
            if (c == '.' || c == '-') c = '_';
        return name;
    });

}  // namespace
