// The test card's pictures: known colours at known places for each pattern
// and size, and the live strip that changes with the seconds count.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include "test_card.hpp"

namespace {

const QColor kWhite(255, 255, 255);
const QColor kStrip(24, 24, 24);
const QSize kSmall(160, 120);

QImage Rows(const QImage& card, int first, int last) { return card.copy(0, first, card.width(), last - first + 1); }

TEST(QtCaptureTestCard, EachPatternHasItsColoursInPlaceAtBothSizes)
{
    const QImage bars = RenderTestCard(TestPattern::ColourBars, kSmall, 0);
    EXPECT_EQ(bars.format(), QImage::Format_RGB888);
    EXPECT_EQ(bars.pixelColor(105, 0), QColor(255, 0, 0));
    EXPECT_EQ(bars.pixelColor(119, 89), QColor(255, 0, 0));
    EXPECT_EQ(bars.pixelColor(120, 0), QColor(0, 0, 255));
    EXPECT_EQ(bars.pixelColor(30, 45), QColor(255, 255, 0));
    EXPECT_EQ(bars.pixelColor(159, 90), kStrip);

    const QImage ramp = RenderTestCard(TestPattern::GreyRamp, kSmall, 0);
    EXPECT_EQ(ramp.pixelColor(75, 10), QColor(119, 119, 119));
    EXPECT_EQ(ramp.pixelColor(159, 89), kWhite);
    const QImage checks = RenderTestCard(TestPattern::Checkerboard, kSmall, 0);
    EXPECT_EQ(checks.pixelColor(5, 5), kWhite);
    EXPECT_EQ(checks.pixelColor(15, 5), QColor(0, 0, 0));
    EXPECT_EQ(checks.pixelColor(15, 15), kWhite);
    EXPECT_EQ(Rows(bars, 90, 119), Rows(ramp, 90, 119));
    EXPECT_EQ(Rows(bars, 90, 119), Rows(checks, 90, 119));

    const QImage large = RenderTestCard(TestPattern::ColourBars, QSize(320, 240), 3);
    ASSERT_EQ(large.size(), QSize(320, 240));
    EXPECT_EQ(large.pixelColor(210, 0), QColor(255, 0, 0));
    EXPECT_EQ(large.pixelColor(239, 179), QColor(255, 0, 0));
    EXPECT_EQ(large.pixelColor(60, 180), kWhite);  // the block at second 3: x 60-79
    EXPECT_EQ(large.pixelColor(59, 180), kStrip);
}

TEST(QtCaptureTestCard, TheStripShowsTheSecondsAndNothingElseChanges)
{
    const QImage at3 = RenderTestCard(TestPattern::ColourBars, kSmall, 3);
    const QImage at8 = RenderTestCard(TestPattern::ColourBars, kSmall, 8);
    EXPECT_EQ(at3, RenderTestCard(TestPattern::ColourBars, kSmall, 3));
    EXPECT_NE(at3, at8);
    EXPECT_EQ(Rows(at3, 0, 89), Rows(at8, 0, 89));

    // The block steps 10 to the right a second and wraps after 16.
    EXPECT_EQ(at3.pixelColor(30, 90), kWhite);
    EXPECT_EQ(at3.pixelColor(39, 99), kWhite);
    EXPECT_EQ(at3.pixelColor(29, 95), kStrip);
    EXPECT_EQ(at3.pixelColor(35, 100), kStrip);
    EXPECT_EQ(Rows(at3, 90, 99), Rows(RenderTestCard(TestPattern::ColourBars, kSmall, 19), 90, 99));

    // Last digit at x 94-101: "8" lights the middle bar, "0" does not.
    const QImage at0 = RenderTestCard(TestPattern::ColourBars, kSmall, 0);
    EXPECT_EQ(at8.pixelColor(97, 108), kWhite);
    EXPECT_EQ(at0.pixelColor(97, 108), kStrip);
    EXPECT_EQ(at0.pixelColor(97, 101), kWhite);
    // 1234: the thousands digit "1" lights only its right-hand bars; the
    // counter wraps at 10000.
    const QImage at1234 = RenderTestCard(TestPattern::ColourBars, kSmall, 1234);
    EXPECT_EQ(at1234.pixelColor(64, 104), kWhite);
    EXPECT_EQ(at1234.pixelColor(64, 112), kWhite);
    EXPECT_EQ(at1234.pixelColor(58, 104), kStrip);
    EXPECT_EQ(Rows(RenderTestCard(TestPattern::ColourBars, kSmall, 11234), 100, 119), Rows(at1234, 100, 119));
}

}  // namespace
