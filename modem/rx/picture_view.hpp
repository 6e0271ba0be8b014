#pragma once
// The received picture: completed lines fill it row by row, and the window
// is repainted after every 60th row. Each value is drawn as a 2 x 2 block.

#include <cstdint>

#include "common/picture.hpp"
#include "rx/picture_surface.hpp"

class PictureView {
public:
    // The window to repaint; null until it exists (then nothing is repainted).
    void SetWindow(PictureWindow* window) { window_ = window; }

    void StoreLine(const PictureLine& line);
    void ResetPictureRow() { pictureRow = 0; }

    // Draws all 4800 values as 19,200 single-pixel writes; the surface clips.
    void PaintPicture(PixelSurface& surface) const;

    Picture receivedPicture{};
    std::int32_t pictureRow = 0;

private:
    PictureWindow* window_ = nullptr;
};
