#include "test_card.hpp"

#include <array>

#include <QColor>
#include <QRect>

#include "capture_window.hpp"

namespace {

constexpr int kGridWidth = 160;
constexpr int kGridHeight = 120;
constexpr int kPatternRows = 90;
constexpr int kStripGrey = 24;
constexpr int kBlockRows = 10;
constexpr int kBlockWidth = 10;
constexpr int kDigits = 4;
constexpr int kDigitLeft = 58;
constexpr int kDigitTop = 101;
constexpr int kDigitPitch = 12;

// Fills a rectangle given on the 160 x 120 grid, scaled to the picture.
void FillGrid(QImage& image, const QRect& grid, QRgb colour)
{
    const int left = grid.left() * image.width() / kGridWidth;
    const int right = (grid.left() + grid.width()) * image.width() / kGridWidth;
    const int top = grid.top() * image.height() / kGridHeight;
    const int bottom = (grid.top() + grid.height()) * image.height() / kGridHeight;
    for (int y = top; y < bottom; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = left; x < right; ++x) {
            row[3 * x] = static_cast<uchar>(qRed(colour));
            row[3 * x + 1] = static_cast<uchar>(qGreen(colour));
            row[3 * x + 2] = static_cast<uchar>(qBlue(colour));
        }
    }
}

void DrawPattern(QImage& image, TestPattern pattern)
{
    switch (pattern) {
    case TestPattern::ColourBars: {
        constexpr std::array<QRgb, 8> bars = {qRgb(255, 255, 255), qRgb(255, 255, 0), qRgb(0, 255, 255),
                                              qRgb(0, 255, 0),     qRgb(255, 0, 255), qRgb(255, 0, 0),
                                              qRgb(0, 0, 255),     qRgb(0, 0, 0)};
        for (int bar = 0; bar < 8; ++bar) FillGrid(image, QRect(bar * 20, 0, 20, kPatternRows), bars[bar]);
        break;
    }
    case TestPattern::GreyRamp:
        for (int step = 0; step < 16; ++step) {
            FillGrid(image, QRect(step * 10, 0, 10, kPatternRows), qRgb(step * 17, step * 17, step * 17));
        }
        break;
    case TestPattern::Checkerboard:
        for (int row = 0; row < kPatternRows / 10; ++row) {
            for (int column = 0; column < kGridWidth / 10; ++column) {
                const QRgb colour = (row + column) % 2 == 0 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
                FillGrid(image, QRect(column * 10, row * 10, 10, 10), colour);
            }
        }
        break;
    }
}

// Segments a-g of a seven-segment digit on its 8 x 16 box.
constexpr std::array<QRect, 7> kSegments = {QRect(0, 0, 8, 2),  QRect(6, 0, 2, 8), QRect(6, 8, 2, 8),
                                            QRect(0, 14, 8, 2), QRect(0, 8, 2, 8), QRect(0, 0, 2, 8),
                                            QRect(0, 7, 8, 2)};
// Bit n lights segment n (a = bit 0).
constexpr std::array<int, 10> kDigitSegments = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};

void DrawStrip(QImage& image, int seconds)
{
    FillGrid(image, QRect(0, kPatternRows, kGridWidth, kGridHeight - kPatternRows),
             qRgb(kStripGrey, kStripGrey, kStripGrey));
    FillGrid(image, QRect((seconds % 16) * kBlockWidth, kPatternRows, kBlockWidth, kBlockRows), qRgb(255, 255, 255));

    int value = seconds % 10000;
    for (int place = kDigits - 1; place >= 0; --place, value /= 10) {
        const QPoint at(kDigitLeft + place * kDigitPitch, kDigitTop);
        for (int segment = 0; segment < 7; ++segment) {
            if (kDigitSegments[value % 10] & (1 << segment)) {
                FillGrid(image, kSegments[segment].translated(at), qRgb(255, 255, 255));
            }
        }
    }
}

}  // namespace

QStringList TestPatternNames() { return {"Colour bars", "Grey ramp", "Checkerboard"}; }

QImage RenderTestCard(TestPattern pattern, QSize size, int seconds)
{
    QImage image(size, QImage::Format_RGB888);
    if (image.isNull()) return image;
    DrawPattern(image, pattern);
    DrawStrip(image, seconds < 0 ? 0 : seconds);
    return image;
}

bool TestCardDriver::Start(QString&)
{
    clock_.start();
    cardSeconds_ = -1;
    return true;
}

QImage TestCardDriver::NewestFrame()
{
    const int seconds = clock_.isValid() ? static_cast<int>(clock_.elapsed() / 1000) : 0;
    if (card_.isNull() || seconds != cardSeconds_ || card_.size() != size_) {
        card_ = RenderTestCard(pattern_, size_, seconds);
        cardSeconds_ = seconds;
    }
    return card_;
}

bool TestCardDriver::FormatDialog(QWidget* parent)
{
    const int chosen = ChooseFromList(parent, "Video Format", "Frame size:", "frameSize",
                                      {QStringLiteral("160 × 120"), QStringLiteral("320 × 240")},
                                      size_ == kLarge ? 1 : 0);
    if (chosen < 0) return false;
    size_ = chosen == 1 ? kLarge : kSmall;
    return true;
}

void TestCardDriver::SourceDialog(QWidget* parent)
{
    const int chosen =
        ChooseFromList(parent, "Video Source", "Pattern:", "pattern", TestPatternNames(), static_cast<int>(pattern_));
    if (chosen < 0) return;
    pattern_ = static_cast<TestPattern>(chosen);
    card_ = QImage();
}
