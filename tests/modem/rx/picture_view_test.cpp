// Received picture: row order, when the window repaints, what it then shows.

#include <gtest/gtest.h>

#include "fakes/fake_picture_window.hpp"
#include "rx/picture_view.hpp"

namespace {

// Values that change along both axes, so a swapped axis or misplaced block shows.
PictureLine Row(int picture, int row)
{
    PictureLine line{};
    for (int x = 0; x < kPictureWidth; ++x) line[x] = static_cast<std::uint8_t>(picture * 91 + row * 3 + x * 7);
    return line;
}

TEST(PictureView, SixtyLinesRepaintOnceAndShowTopToBottom)
{
    PictureView view;
    FakePictureWindow window(view);
    for (int row = 0; row < kPictureHeight; ++row) {
        EXPECT_EQ(window.repaints, 0) << row;
        view.StoreLine(Row(0, row));
    }
    EXPECT_EQ(window.repaints, 1);
    EXPECT_EQ(view.pictureRow, 0);
    for (int row = 0; row < kPictureHeight; ++row) EXPECT_EQ(window.shown[row], Row(0, row)) << row;
}

TEST(PictureView, PictureStartingAtRow10IsRealignedForTheNext)
{
    PictureView view;
    FakePictureWindow window(view);
    for (int row = 0; row < 10; ++row) view.StoreLine(Row(9, row));

    // Lines 0 to 49 fill rows 10 to 59 and repaint after line 49; lines 50
    // to 59 fill rows 0 to 9; the reset then repaints nothing.
    for (int line = 0; line < 50; ++line) view.StoreLine(Row(1, line));
    EXPECT_EQ(window.repaints, 1);
    EXPECT_EQ(window.shown[10], Row(1, 0));
    for (int line = 50; line < 60; ++line) view.StoreLine(Row(1, line));
    EXPECT_EQ(view.receivedPicture[0], Row(1, 50));
    EXPECT_EQ(view.receivedPicture[10], Row(1, 0));
    view.ResetPictureRow();
    EXPECT_EQ(view.pictureRow, 0);
    EXPECT_EQ(window.repaints, 1);

    for (int line = 0; line < 60; ++line) view.StoreLine(Row(2, line));
    EXPECT_EQ(window.repaints, 2);
    for (int row = 0; row < kPictureHeight; ++row) EXPECT_EQ(view.receivedPicture[row], Row(2, row)) << row;

    // Without a window the rows still advance and wrap.
    PictureView alone;
    for (int line = 0; line < 61; ++line) alone.StoreLine(Row(3, line));
    EXPECT_EQ(alone.pictureRow, 1);
    EXPECT_EQ(alone.receivedPicture[0], Row(3, 60));
}

}  // namespace
