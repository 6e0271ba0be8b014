#pragma once
// What the received picture needs from its window: a way to have it
// repainted at once, when the picture is read whole.

class PictureWindow {
public:
    virtual ~PictureWindow() = default;
    // Invalidates the whole window and paints it before returning.
    virtual void RepaintNow() = 0;
};
