#pragma once
// A picture window that paints into a 160 x 120 pixel array clipped to the
// 158 x 118 client area, and counts repaints.

#include <array>
#include <cstdint>

#include "rx/picture_surface.hpp"
#include "rx/picture_view.hpp"

class FakePixelSurface : public PixelSurface {
public:
    static constexpr int kClientWidth = 158;
    static constexpr int kClientHeight = 118;
    static constexpr std::uint32_t kUnpainted = 0xFFFFFFFF;

    FakePixelSurface() { pixels.fill(kUnpainted); }

    void SetPixel(int x, int y, std::uint32_t colour) override
    {
        ++writes;
        if (x >= 0 && y >= 0 && x < kClientWidth && y < kClientHeight) pixels[y * 160 + x] = colour;
    }
    std::uint32_t At(int x, int y) const { return pixels[y * 160 + x]; }

    std::array<std::uint32_t, 160 * 120> pixels{};
    long writes = 0;
};

class FakePictureWindow : public PictureWindow {
public:
    explicit FakePictureWindow(PictureView& view) : view_(view) { view_.SetWindow(this); }
    void RepaintNow() override
    {
        ++repaints;
        view_.PaintPicture(surface);
    }

    FakePixelSurface surface;
    int repaints = 0;

private:
    PictureView& view_;
};
