#pragma once
// A picture window that counts repaints and keeps the picture it last showed.

#include "common/picture.hpp"
#include "rx/picture_window.hpp"
#include "rx/picture_view.hpp"

class FakePictureWindow : public PictureWindow {
public:
    explicit FakePictureWindow(PictureView& view) : view_(view) { view_.SetWindow(this); }
    void RepaintNow() override
    {
        ++repaints;
        shown = view_.receivedPicture;
    }

    Picture shown{};
    int repaints = 0;

private:
    PictureView& view_;
};
