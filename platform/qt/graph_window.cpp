#include "graph_window.hpp"

#include <QPainter>

GraphWindow::GraphWindow(QWidget* parent, PictureView& view)
    : QWidget(parent),
      view_(view),
      client_(kWidth - 2 * kBorder, kHeight - 2 * kBorder, QImage::Format_RGB32)
{
    setWindowTitle("graph");
    setGeometry(kLeft, kTop, kWidth, kHeight);
    client_.fill(Qt::black);
    view_.SetWindow(this);
}

GraphWindow::~GraphWindow() { view_.SetWindow(nullptr); }

void GraphWindow::RepaintNow() { repaint(); }

void GraphWindow::paintEvent(QPaintEvent*)
{
    client_.fill(Qt::black);
    view_.PaintPicture(*this);

    QPainter painter(this);
    painter.drawImage(kBorder, kBorder, client_);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, kWidth - 1, kHeight - 1);
}

void GraphWindow::SetPixel(int x, int y, std::uint32_t colour)
{
    // Clipped to the client area, as the window's surface is.
    if (x < 0 || y < 0 || x >= client_.width() || y >= client_.height()) return;
    reinterpret_cast<QRgb*>(client_.scanLine(y))[x] = 0xFF000000u | colour;
}
