#pragma once
// What the received picture needs from its window: somewhere to draw single
// pixels while painting, and a way to have the window repainted at once.

#include <cstdint>

class PixelSurface {
public:
    virtual ~PixelSurface() = default;
    // colour is 0x00RRGGBB.
    virtual void SetPixel(int x, int y, std::uint32_t colour) = 0;
};

class PictureWindow {
public:
    virtual ~PictureWindow() = default;
    // Invalidates the whole window and paints it before returning.
    virtual void RepaintNow() = 0;
};
