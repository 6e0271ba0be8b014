#pragma once
// The received pictures as numbered files: rx0001.png, rx0002.png, ... in
// a directory, one at every repaint, each reported on standard output with
// the bit rate it was received at.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "rx/picture_sink.hpp"
#include "picture_output.hpp"

class ProgressLine;

class PictureFiles : public PictureSink {
public:
    // The first picture is numbered lastNumber + 1 or, where that is taken, on.
    PictureFiles(std::filesystem::path directory, PictureFormat format, long lastNumber)
        : directory_(std::move(directory)), format_(format), number_(lastNumber)
    {
    }

    bool Failed() const { return !error_.empty(); }
    const std::string& Error() const { return error_; }
    const std::string& FailedPath() const { return failedPath_; }
    long Pictures() const { return pictures_; }

    // The rate the receiver is at, for the report.
    std::int32_t samplesPerBit = 0;
    // Taken away before a picture is reported, when there is one.
    ProgressLine* progress = nullptr;
    // Each picture on the disk before it is reported: for live input, whose
    // pictures cannot be decoded again. A recording's can, so its pictures
    // are left to the page cache, which spares a 30-picture decode some
    // 20 ms of waiting for the disk.
    bool syncEachPicture = false;

private:
    void OnRepaint(const Picture& picture, long) override { Write(picture, ""); }
    // At the end of the input: the rows received since the last picture.
    void OnEndOfInput(const Picture& picture, long newLines) override;
    void OnEndOfTransmission(const Picture& picture, long newLines) override;

    void Write(const Picture& picture, const std::string& note);

    std::filesystem::path directory_;
    PictureFormat format_;
    long number_;
    long pictures_ = 0;
    std::string error_;
    std::string failedPath_;
};

// The highest number of a picture the tool may have written into directory
// before (rx and at least four digits, .png or .pgm), 0 when there is none.
std::optional<long> HighestPictureNumber(const std::filesystem::path& directory, std::error_code& ec);

// "5500" for 4 samples per bit, and so on.
const char* BitrateLabel(std::int32_t samplesPerBit);
