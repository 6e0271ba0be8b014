#include "qt_capture.hpp"

#include <algorithm>

#include <QCoreApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMediaDevices>
#include <QWidget>

#include "camera_driver.hpp"
#include "capture_window.hpp"
#include "frame_layout.hpp"
#include "test_card.hpp"
#include "window_registry.hpp"

namespace {

constexpr QSize kNoDriverSize{160, 120};

QString FromView(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

QtCapture::QtCapture()
{
    for (const QCameraDevice& camera : QMediaDevices::videoInputs()) {
        if (drivers_.size() == kDriverCount) break;
        drivers_.push_back({camera.description(), camera});
    }
    if (drivers_.size() < kDriverCount) drivers_.push_back({"Test card (built in)", std::nullopt});

    QObject::connect(&previewTimer_, &QTimer::timeout, [this] { DeliverFrame(); });
    previewTimer_.setInterval(kDefaultPreviewRateMs);
}

QtCapture::~QtCapture()
{
    previewTimer_.stop();
    delete window_.data();
    driver_.reset();
}

WindowHandle QtCapture::CreateCaptureWindow(std::string_view windowName, WindowHandle parent, int x, int y,
                                            int width, int height)
{
    auto* parentWidget = WidgetOf(parent);
    if (parentWidget == nullptr) return nullptr;
    delete window_.data();
    ForgetWindow();

    // A main window's children sit in its client area.
    if (auto* mainWindow = qobject_cast<QMainWindow*>(parentWidget); mainWindow && mainWindow->centralWidget()) {
        parentWidget = mainWindow->centralWidget();
    }
    auto* window = new CaptureWindow(parentWidget);
    window->setWindowTitle(FromView(windowName));
    window->setGeometry(x, y, width, height);
    window->show();
    // Also when the main window takes it down: the timer as context ends
    // the connection with this object.
    QObject::connect(window, &QObject::destroyed, &previewTimer_, [this] { ForgetWindow(); });
    window_ = window;
    return HandleOf(window);
}

std::optional<std::string> QtCapture::GetDriverDescription(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= drivers_.size()) return std::nullopt;
    const QByteArray text = drivers_[static_cast<std::size_t>(index)].name.toUtf8();
    std::size_t length = std::min(static_cast<std::size_t>(text.size()), kDriverNameSize - 1);
    // Never end in the middle of a UTF-8 sequence.
    if (length < static_cast<std::size_t>(text.size())) {
        while (length > 0 && (static_cast<unsigned char>(text[static_cast<qsizetype>(length)]) & 0xc0) == 0x80) {
            --length;
        }
    }
    return std::string(text.constData(), length);
}

bool QtCapture::IsWindow(WindowHandle window) { return Ours(window); }

bool QtCapture::Ours(WindowHandle window) const
{
    return window && window_ && window == HandleOf(window_.data());
}

void QtCapture::SetErrorCallback(WindowHandle window, CaptureErrorHandler* handler)
{
    if (Ours(window)) errorHandler_ = handler;
}

void QtCapture::SetStatusCallback(WindowHandle window, CaptureStatusHandler* handler)
{
    if (Ours(window)) statusHandler_ = handler;
}

void QtCapture::SetFrameCallback(WindowHandle window, FrameHandler* handler)
{
    if (Ours(window)) frameHandler_ = handler;
}

std::int32_t QtCapture::DriverConnect(WindowHandle window, int index)
{
    if (!Ours(window)) return 0;
    driver_.reset();
    if (index < 0 || static_cast<std::size_t>(index) >= drivers_.size()) {
        ReportError(kErrorNoDriver, QStringLiteral("no capture driver at index %1").arg(index));
        return 0;
    }

    const DriverEntry& entry = drivers_[static_cast<std::size_t>(index)];
    std::shared_ptr<QtCaptureDriver> driver;
    if (entry.camera) driver = std::make_shared<CameraDriver>(*entry.camera);
    else driver = std::make_shared<TestCardDriver>();
    driver->onError = [this](int number, const QString& text) { ReportError(number, text); };

    QString problem;
    if (!driver->Start(problem)) {
        ReportError(kErrorNotStarted, entry.name + " could not be started: " + problem);
        return 0;
    }
    driver_ = std::move(driver);
    ReportStatus(kStatusConnected, "connected: " + entry.name);
    return 1;
}

void QtCapture::DriverGetCaps(WindowHandle window, CaptureDriverCaps& caps)
{
    if (!Ours(window)) return;
    caps = {};
    if (!driver_) return;
    caps.hasFormatDialog = true;
    caps.hasSourceDialog = driver_->HasSourceDialog();
}

void QtCapture::GetStatus(WindowHandle window, CaptureStatus& status)
{
    if (!Ours(window)) return;
    const QSize size = driver_ ? driver_->FrameSize() : kNoDriverSize;
    status.imageWidth = size.width();
    status.imageHeight = size.height();
    status.previewOn = preview_;
    status.overlayOn = false;
}

std::int32_t QtCapture::DialogVideoFormat(WindowHandle window)
{
    if (!Ours(window) || !driver_) return 0;
    const std::shared_ptr<QtCaptureDriver> driver = driver_;
    const QSize before = driver->FrameSize();
    if (!driver->FormatDialog(window_.data())) return 0;
    const QSize after = driver->FrameSize();
    if (driver == driver_ && after != before) {
        ReportStatus(kStatusFormat, QStringLiteral("format %1x%2").arg(after.width()).arg(after.height()));
    }
    return 1;
}

void QtCapture::DialogVideoSource(WindowHandle window)
{
    if (!Ours(window) || !driver_ || !driver_->HasSourceDialog()) return;
    const std::shared_ptr<QtCaptureDriver> driver = driver_;
    driver->SourceDialog(window_.data());
}

void QtCapture::SetPreview(WindowHandle window, bool on)
{
    if (!Ours(window)) return;
    preview_ = on;
    if (on) previewTimer_.start();
    else previewTimer_.stop();
}

void QtCapture::SetOverlay(WindowHandle window, bool on)
{
    if (Ours(window)) overlayRequested_ = on;
}

void QtCapture::SetPreviewRate(WindowHandle window, int milliseconds)
{
    if (Ours(window)) previewTimer_.setInterval(std::max(milliseconds, 1));
}

void QtCapture::MoveWindow(WindowHandle window, int x, int y, int width, int height)
{
    if (!Ours(window)) return;
    window_->setGeometry(x, y, width, height);
    window_->repaint();
}

void QtCapture::ResizeWindow(WindowHandle window, int width, int height)
{
    if (Ours(window)) window_->resize(width, height);
}

void QtCapture::DestroyWindow(WindowHandle window)
{
    if (!Ours(window)) return;
    delete window_.data();
    ForgetWindow();
}

void QtCapture::PostPaletteChange(WindowHandle window)
{
    if (Ours(window)) QCoreApplication::postEvent(window_.data(), new QEvent(QEvent::PaletteChange));
}

void QtCapture::ForgetWindow()
{
    previewTimer_.stop();
    preview_ = false;
    driver_.reset();
    errorHandler_ = nullptr;
    statusHandler_ = nullptr;
    frameHandler_ = nullptr;
}

void QtCapture::DeliverFrame()
{
    if (delivering_ || !window_ || !driver_) return;
    const QImage image = driver_->NewestFrame();
    if (image.isNull()) return;
    window_->ShowFrame(image);
    if (frameHandler_ == nullptr) return;

    const std::size_t bytes = ToFrameLayout(image, frame_);
    delivering_ = true;
    frameHandler_->FrameCallback(HandleOf(window_.data()), std::span(frame_.data(), bytes));
    delivering_ = false;
}

void QtCapture::ReportStatus(int number, const QString& text)
{
    if (statusHandler_ && window_) statusHandler_->CaptureStatusCallback(HandleOf(window_.data()), number, text.toStdString());
}

void QtCapture::ReportError(int number, const QString& text)
{
    if (errorHandler_ && window_) errorHandler_->CaptureErrorCallback(HandleOf(window_.data()), number, text.toStdString());
}
