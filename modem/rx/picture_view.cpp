#include "rx/picture_view.hpp"

void PictureView::StoreLine(const PictureLine& line)
{
    receivedPicture[pictureRow] = line;
    ++pictureRow;
    if (pictureRow == kPictureHeight) {
        pictureRow = 0;
        if (window_ != nullptr) window_->RepaintNow();
    }
}

void PictureView::PaintPicture(PixelSurface& surface) const
{
    for (int x = 0; x < kPictureWidth; ++x) {
        for (int y = 0; y < kPictureHeight; ++y) {
            const std::uint32_t v = receivedPicture[y][x];
            const std::uint32_t colour = (v << 16) | (v << 8) | v;
            surface.SetPixel(2 * x, 2 * y, colour);
            surface.SetPixel(2 * x, 2 * y + 1, colour);
            surface.SetPixel(2 * x + 1, 2 * y, colour);
            surface.SetPixel(2 * x + 1, 2 * y + 1, colour);
        }
    }
}
