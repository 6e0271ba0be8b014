#pragma once
// A line sink for programs that have no window: the lines fill a
// PictureView as in the desktop program, and where the window would be
// repainted (after every 60th row) the picture is handed to OnRepaint. The
// end of the input stands in for the repaint the next transmission would
// bring. Counts the lines stored in all and since the last repaint.

#include <utility>

#include "common/picture.hpp"
#include "rx/picture_window.hpp"
#include "rx/picture_view.hpp"

class PictureSink : private PictureWindow {
public:
    PictureSink() { view_.SetWindow(this); }
    PictureSink(const PictureSink&) = delete;  // the view refers to it
    PictureSink& operator=(const PictureSink&) = delete;

    void StoreLine(const PictureLine& line)
    {
        ++lines_;
        ++linesSinceRepaint_;
        OnLine(line);
        view_.StoreLine(line);
    }
    void ResetPictureRow() { view_.ResetPictureRow(); }

    void EndOfInput() { OnEndOfInput(view_.receivedPicture, std::exchange(linesSinceRepaint_, 0)); }

    // A transmission that ends without its 60th line, as when the next one
    // comes at another bit rate: its rows are a picture now, and the next
    // line starts a new one at row 0.
    void EndOfTransmission()
    {
        OnEndOfTransmission(view_.receivedPicture, std::exchange(linesSinceRepaint_, 0));
        view_.ResetPictureRow();
    }

    long Lines() const { return lines_; }

protected:
    ~PictureSink() override = default;

    virtual void OnLine(const PictureLine&) {}
    // newLines: the lines stored since the last repaint.
    virtual void OnRepaint(const Picture& picture, long newLines) = 0;
    virtual void OnEndOfInput(const Picture& picture, long newLines) { OnRepaint(picture, newLines); }
    virtual void OnEndOfTransmission(const Picture& picture, long newLines) { OnEndOfInput(picture, newLines); }

private:
    void RepaintNow() override { OnRepaint(view_.receivedPicture, std::exchange(linesSinceRepaint_, 0)); }

    PictureView view_;
    long lines_ = 0;
    long linesSinceRepaint_ = 0;
};
