#include "frame_layout.hpp"

#include <cstring>

std::size_t ToFrameLayout(const QImage& image, std::vector<std::uint8_t>& frame)
{
    const QImage rgb = image.format() == QImage::Format_RGB888 ? image : image.convertToFormat(QImage::Format_RGB888);
    const auto width = static_cast<std::size_t>(rgb.width());
    const auto height = static_cast<std::size_t>(rgb.height());
    const std::size_t rowBytes = width * 3;
    frame.resize(rowBytes * height);
    // Scan lines are padded to 4 bytes; the frame's rows are not.
    for (std::size_t y = 0; y < height; ++y) {
        std::memcpy(frame.data() + y * rowBytes, rgb.constScanLine(static_cast<int>(y)), rowBytes);
    }
    return frame.size();
}

QImage FitToFrame(const QImage& image, QSize size)
{
    if (image.isNull() || size.isEmpty()) return {};
    // Scaled to cover size in one direction exactly and overhang in the other.
    const bool wider = qint64(image.width()) * size.height() > qint64(size.width()) * image.height();
    const QImage filled = wider ? image.scaledToHeight(size.height(), Qt::SmoothTransformation)
                                : image.scaledToWidth(size.width(), Qt::SmoothTransformation);
    const QRect middle((filled.width() - size.width()) / 2, (filled.height() - size.height()) / 2, size.width(),
                       size.height());
    return filled.copy(middle).convertToFormat(QImage::Format_RGB888);
}
