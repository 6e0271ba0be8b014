#pragma once
// The received picture: completed lines fill it row by row, and the window
// is repainted after every 60th row; it reads receivedPicture whole.

#include <cstdint>

#include "common/picture.hpp"
#include "rx/picture_window.hpp"

class PictureView {
public:
    // The window to repaint; null until it exists (then nothing is repainted).
    void SetWindow(PictureWindow* window) { window_ = window; }

    void StoreLine(const PictureLine& line);
    void ResetPictureRow() { pictureRow = 0; }

    Picture receivedPicture{};
    std::int32_t pictureRow = 0;

private:
    PictureWindow* window_ = nullptr;
};
