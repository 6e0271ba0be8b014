#pragma once
// The transmitter's video source: one capture window in the main window,
// up to four drivers listed as "&Options" items 150-153, preview, overlay
// and the driver's dialogs, with the menu kept in step with the driver.
// Platform errors come back as message boxes and status notices as title
// lines. Everything runs on the user-interface thread.

#include <cstdint>
#include <string_view>

#include "common/shell_state.hpp"
#include "platform/capture.hpp"
#include "platform/ui.hpp"

class CaptureControl : public CaptureErrorHandler, public CaptureStatusHandler {
public:
    static constexpr int kPreviewRateMs = 300;
    static constexpr int kOptionsPopup = 1;  // position of "&Options" in the menu bar

    CaptureControl(CapturePlatform& platform, Ui& ui, ShellState& shell, FrameHandler& frames);

    void CaptureCreate(WindowHandle mainWindow);
    void CapturePlace();
    void CaptureRefresh(WindowHandle mainWindow, int driver);
    void CaptureSelectDriver(WindowHandle mainWindow, int driver);
    void CaptureTogglePreview();
    void CaptureToggleOverlay();
    void CaptureFormatDialog();
    void CaptureSourceDialog();
    void CaptureDisplayDialog();
    // Sets the "&Preview" and "&Overlay" check marks of the menu being opened.
    void CaptureInitMenu(Ui& menu);
    void CaptureForwardPalette(std::uint32_t message, std::uintptr_t first, std::intptr_t second);
    void CaptureDestroy();

    std::int32_t CaptureErrorCallback(WindowHandle window, std::int32_t number, std::string_view text) override;
    std::int32_t CaptureStatusCallback(WindowHandle window, std::int32_t number, std::string_view text) override;

    WindowHandle captureWindow = nullptr;
    std::uint16_t currentDriver = 0;
    CaptureDriverCaps driverCaps{};
    CaptureStatus captureStatus{};
    std::int32_t statusCallCount = 0;

private:
    // Sizes the capture window to the image size just fetched, keeping its place.
    void ResizeToImage();

    CapturePlatform& platform_;
    Ui& ui_;
    ShellState& shell_;
    FrameHandler& frames_;
};
