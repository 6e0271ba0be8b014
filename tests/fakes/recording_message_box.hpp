#pragma once
// Records every message box instead of showing it.

#include <string>
#include <string_view>
#include <vector>

#include "message_box.hpp"

class RecordingMessageBox : public MessageBox {
public:
    struct Shown {
        WindowHandle owner;
        std::string text;
        std::string caption;
    };

    void Show(WindowHandle owner, std::string_view text, std::string_view caption) override
    {
        shown.push_back({owner, std::string(text), std::string(caption)});
    }

    std::vector<Shown> shown;
};
