#pragma once
// The received-picture window ("graph"): a child of the main window with a
// thin border and a black background, 160 x 120 with its border, so the
// client area is 158 x 118 and the picture's last column and row of pixels
// fall outside it. Every paint draws all of the picture, pixel by pixel.

#include <QImage>
#include <QWidget>

#include "rx/picture_surface.hpp"
#include "rx/picture_view.hpp"

class GraphWindow : public QWidget, public PictureWindow, private PixelSurface {
public:
    static constexpr int kLeft = 180;
    static constexpr int kTop = 10;
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 120;
    static constexpr int kBorder = 1;

    // Becomes view's window for as long as it lives.
    GraphWindow(QWidget* parent, PictureView& view);
    ~GraphWindow() override;

    // Paints at once, before returning.
    void RepaintNow() override;

    // The client area as last painted.
    const QImage& Client() const { return client_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void SetPixel(int x, int y, std::uint32_t colour) override;

    PictureView& view_;
    QImage client_;
};
