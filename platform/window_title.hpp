#pragma once
// The main window's title line: where the level line and the capture
// notices are shown.

#include <string_view>

class WindowTitle {
public:
    virtual ~WindowTitle() = default;
    virtual void SetTitle(std::string_view title) = 0;
};
