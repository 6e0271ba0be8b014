#pragma once
// The received-picture window ("graph"): a child of the main window with a
// thin border and a black background, 160 x 120 with its border, so the
// client area is 158 x 118 and the picture's last column and row of pixels
// fall outside it. Every paint draws all of the picture as one grey image,
// each value a 2 x 2 block.

#include <QImage>
#include <QWidget>

#include "rx/picture_window.hpp"
#include "rx/picture_view.hpp"

class GraphWindow : public QWidget, public PictureWindow {
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
    PictureView& view_;
    QImage client_;
};
