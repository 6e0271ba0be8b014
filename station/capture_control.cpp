#include "capture_control.hpp"

#include <optional>
#include <string>

namespace {

// The capture window as created, in pixels of the main window's client
// area, before it is placed where it shows the 160 x 120 preview.
constexpr int kCaptureWindowWidth = 320;
constexpr int kCaptureWindowHeight = 240;
constexpr int kPlaceX = 10;
constexpr int kPlaceY = 10;
constexpr int kPlaceWidth = 160;
constexpr int kPlaceHeight = 120;

}  // namespace

CaptureControl::CaptureControl(CapturePlatform& platform, CaptureMenu& menu, MessageBox& boxes, WindowTitle& title,
                               ShellState& shell, FrameHandler& frames)
    : platform_(platform), menu_(menu), boxes_(boxes), title_(title), shell_(shell), frames_(frames)
{
}

void CaptureControl::CaptureCreate(WindowHandle mainWindow)
{
    // A failed creation is not reported: every request below is then skipped
    // by its validity test.
    captureWindow =
        platform_.CreateCaptureWindow("Capture Window", mainWindow, 0, 0, kCaptureWindowWidth, kCaptureWindowHeight);

    if (platform_.IsWindow(captureWindow)) platform_.SetErrorCallback(captureWindow, this);
    if (platform_.IsWindow(captureWindow)) platform_.SetStatusCallback(captureWindow, this);
    if (platform_.IsWindow(captureWindow)) platform_.SetFrameCallback(captureWindow, &frames_);

    bool firstFound = false;
    for (int index = 0; index < CapturePlatform::kDriverCount; ++index) {
        const std::optional<std::string> name = platform_.GetDriverDescription(index);
        if (!name) continue;
        menu_.AddDriver(index, *name);

        // Only the first driver found is tried, even when it refuses.
        if (firstFound) continue;
        firstFound = true;
        if (platform_.IsWindow(captureWindow) && platform_.DriverConnect(captureWindow, index) != 0) {
            menu_.CheckDriver(index, true);
            currentDriver = static_cast<std::uint16_t>(index);
        }
    }
}

void CaptureControl::CapturePlace()
{
    platform_.MoveWindow(captureWindow, kPlaceX, kPlaceY, kPlaceWidth, kPlaceHeight);
}

void CaptureControl::CaptureRefresh(WindowHandle, int driver)
{
    if (platform_.IsWindow(captureWindow)) platform_.DriverGetCaps(captureWindow, driverCaps);

    menu_.OfferFeatures(driverCaps);

    if (platform_.IsWindow(captureWindow)) platform_.GetStatus(captureWindow, captureStatus);
    ResizeToImage();
    if (platform_.IsWindow(captureWindow)) platform_.SetPreviewRate(captureWindow, kPreviewRateMs);
    if (platform_.IsWindow(captureWindow)) platform_.SetPreview(captureWindow, true);

    menu_.CheckDriver(driver, true);
}

void CaptureControl::CaptureSelectDriver(WindowHandle mainWindow, int driver)
{
    for (int index = 0; index < CapturePlatform::kDriverCount; ++index) {
        menu_.CheckDriver(index, false);
    }
    if (driver == currentDriver) return;
    currentDriver = static_cast<std::uint16_t>(driver);

    // The result is not consulted: a refusing driver stays the selected one
    // and its error arrives through the error callback.
    if (platform_.IsWindow(captureWindow)) platform_.DriverConnect(captureWindow, driver);
    menu_.Redraw();
    CaptureRefresh(mainWindow, driver);
    CapturePlace();
}

void CaptureControl::CaptureTogglePreview()
{
    if (platform_.IsWindow(captureWindow)) platform_.GetStatus(captureWindow, captureStatus);
    if (platform_.IsWindow(captureWindow)) platform_.SetPreview(captureWindow, !captureStatus.previewOn);
}

void CaptureControl::CaptureToggleOverlay()
{
    if (platform_.IsWindow(captureWindow)) platform_.GetStatus(captureWindow, captureStatus);
    if (platform_.IsWindow(captureWindow)) platform_.SetOverlay(captureWindow, !captureStatus.overlayOn);
}

void CaptureControl::CaptureFormatDialog()
{
    if (!driverCaps.hasFormatDialog || !platform_.IsWindow(captureWindow)) return;
    if (platform_.DialogVideoFormat(captureWindow) == 0) return;

    if (platform_.IsWindow(captureWindow)) platform_.GetStatus(captureWindow, captureStatus);
    ResizeToImage();
    CapturePlace();
}

void CaptureControl::CaptureSourceDialog()
{
    if (driverCaps.hasSourceDialog && platform_.IsWindow(captureWindow)) {
        platform_.DialogVideoSource(captureWindow);
    }
}

void CaptureControl::CaptureDisplayDialog()
{
    if (driverCaps.hasDisplayDialog && platform_.IsWindow(captureWindow)) {
        platform_.DialogVideoDisplay(captureWindow);
    }
}

void CaptureControl::CaptureInitMenu(CaptureMenu& menu)
{
    if (platform_.IsWindow(captureWindow)) platform_.GetStatus(captureWindow, captureStatus);
    menu.CheckPreviewAndOverlay(captureStatus.previewOn, captureStatus.overlayOn);
}

void CaptureControl::CaptureForwardPalette() { platform_.PostPaletteChange(captureWindow); }

void CaptureControl::CaptureDestroy()
{
    if (platform_.IsWindow(captureWindow)) platform_.SetErrorCallback(captureWindow, nullptr);
    if (platform_.IsWindow(captureWindow)) platform_.SetStatusCallback(captureWindow, nullptr);
    if (platform_.IsWindow(captureWindow)) platform_.SetFrameCallback(captureWindow, nullptr);
    if (platform_.IsWindow(captureWindow)) platform_.ClearVideoStreamCallback(captureWindow);
    platform_.DestroyWindow(captureWindow);
    captureWindow = nullptr;
}

std::int32_t CaptureControl::CaptureErrorCallback(WindowHandle window, std::int32_t number, std::string_view text)
{
    if (shell_.mainWindow == nullptr) return 0;
    if (number != 0) {
        shell_.SetStatusText("Error# " + std::to_string(number));
        boxes_.ShowExclamation(window, text, shell_.statusText);
    }
    return 1;
}

std::int32_t CaptureControl::CaptureStatusCallback(WindowHandle, std::int32_t number, std::string_view text)
{
    // Counted before the main window exists too, so the first line shown
    // can carry a call number above 1.
    ++statusCallCount;
    if (shell_.mainWindow == nullptr) return 0;

    // A long platform text is cut with the line.
    shell_.SetStatusText("Status# " + std::to_string(number) + ": Call " + std::to_string(statusCallCount) + ": " +
                         std::string(text));
    title_.SetTitle(shell_.statusText);
    return 1;
}

void CaptureControl::ResizeToImage()
{
    platform_.ResizeWindow(captureWindow, captureStatus.imageWidth, captureStatus.imageHeight);
}
