#pragma once
// A line sink for the receive chain that keeps every completed line and
// where the picture row was reset.

#include <cstddef>
#include <vector>

#include "common/picture.hpp"

struct LineRecorder {
    std::vector<PictureLine> lines;
    std::vector<std::size_t> resetsAfter;  // lines stored at each reset
    void StoreLine(const PictureLine& line) { lines.push_back(line); }
    void ResetPictureRow() { resetsAfter.push_back(lines.size()); }
};
