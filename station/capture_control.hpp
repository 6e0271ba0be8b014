#pragma once
// The transmitter's video source: one capture window in the main window,
// up to four drivers, preview, overlay and the driver's dialogs, with the
// menu kept in step with the driver. Platform errors come back as message
// boxes and status notices as title lines. Everything runs on the
// user-interface thread.

#include <cstdint>
#include <string_view>

#include "capture.hpp"
#include "message_box.hpp"
#include "shell_state.hpp"
#include "window_title.hpp"

// The menu as capture control keeps it, in capture terms; the program maps
// it onto its menu items.
class CaptureMenu {
public:
    virtual ~CaptureMenu() = default;
    // An item choosing the driver at index 0..3.
    virtual void AddDriver(int index, std::string_view name) = 0;
    virtual void CheckDriver(int index, bool checked) = 0;
    // Overlay and the three dialogs can be chosen only where the driver has them.
    virtual void OfferFeatures(const CaptureDriverCaps& caps) = 0;
    // The check marks of preview and overlay.
    virtual void CheckPreviewAndOverlay(bool preview, bool overlay) = 0;
    virtual void Redraw() = 0;
};

class CaptureControl : public CaptureErrorHandler, public CaptureStatusHandler {
public:
    static constexpr int kPreviewRateMs = 300;

    CaptureControl(CapturePlatform& platform, CaptureMenu& menu, MessageBox& boxes, WindowTitle& title,
                   ShellState& shell, FrameHandler& frames);

    void CaptureCreate(WindowHandle mainWindow);
    void CapturePlace();
    void CaptureRefresh(WindowHandle mainWindow, int driver);
    void CaptureSelectDriver(WindowHandle mainWindow, int driver);
    void CaptureTogglePreview();
    void CaptureToggleOverlay();
    void CaptureFormatDialog();
    void CaptureSourceDialog();
    void CaptureDisplayDialog();
    // Sets the preview and overlay check marks of the menu being opened.
    void CaptureInitMenu(CaptureMenu& menu);
    // Passes a palette change of the main window on to the capture window.
    void CaptureForwardPalette();
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
    CaptureMenu& menu_;
    MessageBox& boxes_;
    WindowTitle& title_;
    ShellState& shell_;
    FrameHandler& frames_;
};
