#include "rx/picture_view.hpp"

void PictureView::StoreLine(const PictureLine& line)
{
    receivedPicture[pictureRow] = line;
    ++pictureRow;
    if (pictureRow == kPictureHeight) {
        pictureRow = 0;
        if (window_ != nullptr) window_->RepaintNow();
    }
}
