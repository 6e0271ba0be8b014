#pragma once
// The capture platform on Qt 6. Drivers 0-3 are the cameras Qt lists
// (QMediaDevices::videoInputs, by description), then the built-in test card
// while a slot is left. One capture window (a QWidget child of the main
// window) shows the connected driver's preview; while preview is on, a timer
// at the preview rate takes the driver's newest frame, shows it scaled to
// the window and hands it to the frame callback in the delivered layout
// (see frame_layout.hpp) from a buffer owned here.
//
// Status notices:  1 "connected: <driver name>"   a driver was connected
//                  2 "format <W>x<H>"             the frame size changed
// Errors:          1 "no capture driver at index <n>"
//                  2 "<driver name> could not be started: <reason>"
//                  1000 + QCamera::Error, with the camera's errorString()
//
// Window handles come from the window registry: the parent is the main
// window, the handle handed out is the capture window's. Creating a second
// capture window destroys the first. Destroying the window disconnects the
// driver, stops the preview and drops the callbacks. Everything runs on the
// GUI thread; make it after the QApplication exists.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QCameraDevice>
#include <QImage>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QTimer>

#include "capture.hpp"

class CaptureWindow;
class QWidget;

// One kind of video source. Constructing it connects nothing; Start does,
// destroying it stops it.
class QtCaptureDriver {
public:
    virtual ~QtCaptureDriver() = default;

    // False, with the reason, when the source cannot run.
    virtual bool Start(QString& problem) = 0;
    virtual QSize FrameSize() const = 0;
    // The newest frame, RGB888 at FrameSize; null while none has arrived.
    virtual QImage NewestFrame() = 0;
    virtual bool HasSourceDialog() const = 0;
    // Modal; true when accepted.
    virtual bool FormatDialog(QWidget* parent) = 0;
    virtual void SourceDialog(QWidget* parent) = 0;

    // Errors the source meets while running: number and text, from the
    // event loop (never from inside a call above).
    std::function<void(int, const QString&)> onError;
};

class QtCapture : public CapturePlatform {
public:
    static constexpr int kStatusConnected = 1;
    static constexpr int kStatusFormat = 2;
    static constexpr int kErrorNoDriver = 1;
    static constexpr int kErrorNotStarted = 2;
    static constexpr int kErrorCameraBase = 1000;
    static constexpr int kDefaultPreviewRateMs = 100;

    QtCapture();
    ~QtCapture() override;

    WindowHandle CreateCaptureWindow(std::string_view windowName, WindowHandle parent, int x, int y, int width,
                                     int height) override;
    std::optional<std::string> GetDriverDescription(int index) override;
    bool IsWindow(WindowHandle window) override;

    void SetErrorCallback(WindowHandle window, CaptureErrorHandler* handler) override;
    void SetStatusCallback(WindowHandle window, CaptureStatusHandler* handler) override;
    void SetFrameCallback(WindowHandle window, FrameHandler* handler) override;
    void ClearVideoStreamCallback(WindowHandle) override {}

    std::int32_t DriverConnect(WindowHandle window, int index) override;
    void DriverGetCaps(WindowHandle window, CaptureDriverCaps& caps) override;
    void GetStatus(WindowHandle window, CaptureStatus& status) override;

    std::int32_t DialogVideoFormat(WindowHandle window) override;
    void DialogVideoSource(WindowHandle window) override;
    void DialogVideoDisplay(WindowHandle) override {}

    void SetPreview(WindowHandle window, bool on) override;
    // No driver offers overlay: the request is only remembered.
    void SetOverlay(WindowHandle window, bool on) override;
    void SetPreviewRate(WindowHandle window, int milliseconds) override;

    void MoveWindow(WindowHandle window, int x, int y, int width, int height) override;
    void ResizeWindow(WindowHandle window, int width, int height) override;
    void DestroyWindow(WindowHandle window) override;

    // A QEvent::PaletteChange is posted to the capture window, nothing more.
    void PostPaletteChange(WindowHandle window) override;

    bool OverlayRequested() const { return overlayRequested_; }

private:
    struct DriverEntry {
        QString name;
        std::optional<QCameraDevice> camera;  // none: the test card
    };

    bool Ours(WindowHandle window) const;
    void ForgetWindow();
    void DeliverFrame();
    void ReportStatus(int number, const QString& text);
    void ReportError(int number, const QString& text);

    std::vector<DriverEntry> drivers_;
    // Shared so that a driver replaced from inside its own dialog (through a
    // callback) lives until the dialog has returned.
    std::shared_ptr<QtCaptureDriver> driver_;
    QPointer<CaptureWindow> window_;
    CaptureErrorHandler* errorHandler_ = nullptr;
    CaptureStatusHandler* statusHandler_ = nullptr;
    FrameHandler* frameHandler_ = nullptr;
    QTimer previewTimer_;
    bool preview_ = false;
    bool overlayRequested_ = false;
    // A frame callback that runs an event loop (a message box) must not be
    // entered again by the next tick.
    bool delivering_ = false;
    std::vector<std::uint8_t> frame_;
};
