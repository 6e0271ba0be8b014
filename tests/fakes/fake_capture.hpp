#pragma once
// A capture platform whose drivers, capabilities, image size and dialog
// results the test sets. Every request to the capture window is logged (the
// validity tests are not), and the installed callbacks can be fired.

#include <array>
#include <optional>
#include <span>
#include <string>

#include "fakes/call_log.hpp"
#include "capture.hpp"

class FakeCapturePlatform : public CapturePlatform {
public:
    struct Driver {
        std::string name;
        bool accepts = true;
        CaptureDriverCaps caps{};
        int width = 160;
        int height = 120;
    };

    explicit FakeCapturePlatform(CallLog& log) : log_(log) {}

    WindowHandle CreateCaptureWindow(std::string_view windowName, WindowHandle parent, int x, int y, int width,
                                     int height) override
    {
        log_.Add("create " + std::string(windowName) + " " + Place(x, y, width, height));
        createdParent = parent;
        if (!canCreate) return nullptr;
        exists = true;
        return Window();
    }
    std::optional<std::string> GetDriverDescription(int index) override
    {
        ++descriptionQueries;
        if (index < 0 || index >= kDriverCount || !drivers[index]) {
            if (index >= kDriverCount) askedBeyondLast = true;
            return std::nullopt;
        }
        return drivers[index]->name.substr(0, kDriverNameSize - 1);
    }
    bool IsWindow(WindowHandle window) override { return exists && window == Window(); }

    void SetErrorCallback(WindowHandle, CaptureErrorHandler* handler) override
    {
        errors = handler;
        log_.Add(handler ? "set error" : "clear error");
    }
    void SetStatusCallback(WindowHandle, CaptureStatusHandler* handler) override
    {
        statuses = handler;
        log_.Add(handler ? "set status" : "clear status");
    }
    void SetFrameCallback(WindowHandle, FrameHandler* handler) override
    {
        frames = handler;
        log_.Add(handler ? "set frame" : "clear frame");
    }
    void ClearVideoStreamCallback(WindowHandle) override { log_.Add("clear video stream"); }

    std::int32_t DriverConnect(WindowHandle, int index) override
    {
        log_.Add("connect " + std::to_string(index));
        if (index < 0 || index >= kDriverCount || !drivers[index] || !drivers[index]->accepts) return 0;
        connected = index;
        imageWidth = drivers[index]->width;
        imageHeight = drivers[index]->height;
        return 1;
    }
    void DriverGetCaps(WindowHandle, CaptureDriverCaps& caps) override
    {
        log_.Add("get caps");
        caps = connected ? drivers[*connected]->caps : CaptureDriverCaps{};
    }
    void GetStatus(WindowHandle, CaptureStatus& status) override
    {
        log_.Add("get status");
        status = {imageWidth, imageHeight, preview, overlay};
    }

    std::int32_t DialogVideoFormat(WindowHandle) override
    {
        log_.Add("format dialog");
        if (formatDialogAccepts && formatDialogSize) {
            imageWidth = formatDialogSize->first;
            imageHeight = formatDialogSize->second;
        }
        return formatDialogAccepts ? 1 : 0;
    }
    void DialogVideoSource(WindowHandle) override { log_.Add("source dialog"); }
    void DialogVideoDisplay(WindowHandle) override { log_.Add("display dialog"); }

    void SetPreview(WindowHandle, bool on) override
    {
        preview = on;
        log_.Add(on ? "preview on" : "preview off");
    }
    void SetOverlay(WindowHandle, bool on) override
    {
        overlay = on;
        log_.Add(on ? "overlay on" : "overlay off");
    }
    void SetPreviewRate(WindowHandle, int milliseconds) override
    {
        log_.Add("preview rate " + std::to_string(milliseconds));
    }

    void MoveWindow(WindowHandle window, int x, int y, int width, int height) override
    {
        log_.Add("move " + Place(x, y, width, height));
        if (IsWindow(window)) geometry = {x, y, width, height};
    }
    void ResizeWindow(WindowHandle window, int width, int height) override
    {
        log_.Add("resize " + std::to_string(width) + "x" + std::to_string(height));
        if (IsWindow(window)) {
            geometry[2] = width;
            geometry[3] = height;
        }
    }
    void DestroyWindow(WindowHandle window) override
    {
        log_.Add("destroy");
        if (IsWindow(window)) exists = false;
    }
    void PostPaletteChange(WindowHandle window) override { log_.Add(window ? "palette" : "palette to none"); }

    // What the platform would call while the callbacks are installed.
    std::int32_t FireError(std::int32_t number, std::string_view text)
    {
        return errors ? errors->CaptureErrorCallback(Window(), number, text) : -1;
    }
    std::int32_t FireStatus(std::int32_t number, std::string_view text)
    {
        return statuses ? statuses->CaptureStatusCallback(Window(), number, text) : -1;
    }
    std::int32_t FireFrame(std::span<const std::uint8_t> frame)
    {
        return frames ? frames->FrameCallback(Window(), frame) : -1;
    }

    WindowHandle Window() { return WindowHandle(2); }

    std::array<std::optional<Driver>, kDriverCount> drivers;
    bool canCreate = true;
    bool exists = false;
    bool askedBeyondLast = false;
    int descriptionQueries = 0;
    WindowHandle createdParent = nullptr;
    std::optional<int> connected;
    int imageWidth = 0;
    int imageHeight = 0;
    bool preview = false;
    bool overlay = false;
    bool formatDialogAccepts = true;
    std::optional<std::pair<int, int>> formatDialogSize;
    std::array<int, 4> geometry{0, 0, 0, 0};
    CaptureErrorHandler* errors = nullptr;
    CaptureStatusHandler* statuses = nullptr;
    FrameHandler* frames = nullptr;

private:
    static std::string Place(int x, int y, int width, int height)
    {
        return std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(width) + "x" +
               std::to_string(height);
    }

    CallLog& log_;
};
