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
    const Picture& picture = view_.receivedPicture;
    const QImage grey(picture.front().data(), kPictureWidth, kPictureHeight, kPictureWidth,
                      QImage::Format_Grayscale8);
    {
        // Not smoothed: each value is a 2 x 2 block of its own grey. The
        // client area clips the last column and row.
        QPainter client(&client_);
        client.drawImage(QRect(0, 0, 2 * kPictureWidth, 2 * kPictureHeight), grey);
    }

    QPainter painter(this);
    painter.drawImage(kBorder, kBorder, client_);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, kWidth - 1, kHeight - 1);
}
