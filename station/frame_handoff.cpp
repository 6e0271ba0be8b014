#include "frame_handoff.hpp"

#include "tx/frame_reduction.hpp"

FrameHandoff::FrameHandoff(ShellState& shell, WindowTitle& title, TransmitScheduler& scheduler)
    : shell_(shell), title_(title), scheduler_(scheduler)
{
}

std::int32_t FrameHandoff::FrameCallback(WindowHandle window, std::span<const std::uint8_t> frame)
{
    if (shell_.mainWindow == nullptr) return 0;
    if (frame.size() != kFrameBytes) {
        shell_.SetStatusText("Set Capture to 160 * 120, 24bit color");
        title_.SetTitle(shell_.statusText);
        return 1;
    }
    if (scheduler_.transmitting == 0) return 1;

    ReduceFrame(frame.data(), reducedPicture);
    // The capture window owns the failure boxes of later transmissions.
    scheduler_.HandOffPicture(window, reducedPicture);
    return 1;
}
