#pragma once
// The video capture window as capture control uses it: up to four drivers by
// index, one capture window showing the connected driver's preview, and
// three callbacks through which the platform reports errors, status notices
// and preview frames. Every request names the capture window it goes to;
// requests to a window that does not exist are the platform's to ignore, but
// callers test IsWindow first.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "window_handle.hpp"

// What the connected driver offers.
struct CaptureDriverCaps {
    bool hasOverlay = false;
    bool hasFormatDialog = false;
    bool hasSourceDialog = false;
    bool hasDisplayDialog = false;
};

struct CaptureStatus {
    int imageWidth = 0;
    int imageHeight = 0;
    bool previewOn = false;
    bool overlayOn = false;
};

class CaptureErrorHandler {
public:
    virtual ~CaptureErrorHandler() = default;
    // number 0: the last error is cleared.
    virtual std::int32_t CaptureErrorCallback(WindowHandle window, std::int32_t number, std::string_view text) = 0;
};

class CaptureStatusHandler {
public:
    virtual ~CaptureStatusHandler() = default;
    virtual std::int32_t CaptureStatusCallback(WindowHandle window, std::int32_t number, std::string_view text) = 0;
};

class FrameHandler {
public:
    virtual ~FrameHandler() = default;
    // One delivered frame: 24-bit red-green-blue pixels, top row first,
    // rows without padding, at the driver's current image size.
    virtual std::int32_t FrameCallback(WindowHandle window, std::span<const std::uint8_t> frame) = 0;
};

class CapturePlatform {
public:
    static constexpr int kDriverCount = 4;
    // Driver names are at most kDriverNameSize - 1 bytes.
    static constexpr std::size_t kDriverNameSize = 80;

    virtual ~CapturePlatform() = default;

    // A visible child of parent at x, y with the given size; null on failure.
    virtual WindowHandle CreateCaptureWindow(std::string_view windowName, WindowHandle parent, int x, int y,
                                             int width, int height) = 0;
    // The name of the driver at index 0..3, cut to kDriverNameSize - 1
    // bytes; none when no driver is installed there.
    virtual std::optional<std::string> GetDriverDescription(int index) = 0;
    virtual bool IsWindow(WindowHandle window) = 0;

    // Null removes a callback. The platform calls them on the GUI thread.
    virtual void SetErrorCallback(WindowHandle window, CaptureErrorHandler* handler) = 0;
    virtual void SetStatusCallback(WindowHandle window, CaptureStatusHandler* handler) = 0;
    virtual void SetFrameCallback(WindowHandle window, FrameHandler* handler) = 0;
    // Only ever removed: no video stream is recorded.
    virtual void ClearVideoStreamCallback(WindowHandle window) = 0;

    // Non-zero when the driver accepted; replaces the driver connected before.
    virtual std::int32_t DriverConnect(WindowHandle window, int index) = 0;
    virtual void DriverGetCaps(WindowHandle window, CaptureDriverCaps& caps) = 0;
    virtual void GetStatus(WindowHandle window, CaptureStatus& status) = 0;

    // Modal dialogs of the connected driver. The format dialog returns
    // non-zero when it was accepted.
    virtual std::int32_t DialogVideoFormat(WindowHandle window) = 0;
    virtual void DialogVideoSource(WindowHandle window) = 0;
    virtual void DialogVideoDisplay(WindowHandle window) = 0;

    virtual void SetPreview(WindowHandle window, bool on) = 0;
    virtual void SetOverlay(WindowHandle window, bool on) = 0;
    // Milliseconds between preview frames; each goes to the frame callback.
    virtual void SetPreviewRate(WindowHandle window, int milliseconds) = 0;

    // Move and size in the parent's client area, then repaint.
    virtual void MoveWindow(WindowHandle window, int x, int y, int width, int height) = 0;
    // Size only: position and stacking order stay.
    virtual void ResizeWindow(WindowHandle window, int width, int height) = 0;
    virtual void DestroyWindow(WindowHandle window) = 0;

    // Tells the capture window, later, that the main window's palette changed.
    virtual void PostPaletteChange(WindowHandle window) = 0;
};
