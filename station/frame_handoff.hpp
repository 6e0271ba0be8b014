#pragma once
// Preview frames into the transmitter: while "Send NBTV" is on, every
// 160 x 120 frame is reduced to a picture and handed to the scheduler.
// Frames of any other length are refused with a title line.

#include <cstdint>
#include <span>

#include "common/picture.hpp"
#include "shell_state.hpp"
#include "capture.hpp"
#include "window_title.hpp"
#include "transmit_scheduler.hpp"

class FrameHandoff : public FrameHandler {
public:
    FrameHandoff(ShellState& shell, WindowTitle& title, TransmitScheduler& scheduler);

    // 0 while the main window does not exist, 1 otherwise.
    std::int32_t FrameCallback(WindowHandle window, std::span<const std::uint8_t> frame) override;

    Picture reducedPicture{};

private:
    ShellState& shell_;
    WindowTitle& title_;
    TransmitScheduler& scheduler_;
};
