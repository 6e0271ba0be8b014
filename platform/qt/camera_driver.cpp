#include "camera_driver.hpp"

#include <algorithm>
#include <tuple>

#include <QCamera>
#include <QMediaCaptureSession>
#include <QPointer>
#include <QVideoSink>

#include "camera_source_dialog.hpp"
#include "capture_window.hpp"
#include "frame_layout.hpp"

namespace {

QString SizeText(QSize size) { return QStringLiteral("%1 × %2").arg(size.width()).arg(size.height()); }

}  // namespace

CameraDriver::CameraDriver(const QCameraDevice& device) : device_(device) {}

CameraDriver::~CameraDriver()
{
    if (camera_) camera_->stop();
    session_.reset();
}

bool CameraDriver::Start(QString& problem)
{
    camera_ = std::make_unique<QCamera>(device_);
    sink_ = std::make_unique<QVideoSink>();
    session_ = std::make_unique<QMediaCaptureSession>();
    session_->setCamera(camera_.get());
    session_->setVideoSink(sink_.get());

    // Frames may be signalled from the backend's own thread; the sink as
    // context brings them to the GUI thread.
    QObject::connect(sink_.get(), &QVideoSink::videoFrameChanged, sink_.get(),
                     [this](const QVideoFrame& frame) { latest_ = frame; });
    // Queued, so that whoever is told may replace this driver safely.
    QObject::connect(
        camera_.get(), &QCamera::errorOccurred, camera_.get(),
        [this](QCamera::Error error, const QString& text) {
            if (error != QCamera::NoError && onError) onError(QtCapture::kErrorCameraBase + error, text);
        },
        Qt::QueuedConnection);

    if (!camera_->isAvailable()) {
        problem = "the camera is not available";
        return false;
    }
    UseFormat(FormatFor({}));
    if (camera_->error() != QCamera::NoError) {
        problem = camera_->errorString();
        return false;
    }
    return true;
}

QImage CameraDriver::NewestFrame()
{
    if (!latest_.isValid()) return {};
    return FitToFrame(latest_.toImage(), size_);
}

bool CameraDriver::HasSourceDialog() const { return camera_ && CameraSourceDialog::HasSettings(*camera_); }

std::vector<QSize> CameraDriver::CameraSizes() const
{
    std::vector<QSize> sizes;
    for (const QCameraFormat& format : device_.videoFormats()) {
        if (std::find(sizes.begin(), sizes.end(), format.resolution()) == sizes.end()) {
            sizes.push_back(format.resolution());
        }
    }
    std::sort(sizes.begin(), sizes.end(), [](QSize a, QSize b) {
        return std::tuple(a.width() * a.height(), a.width()) < std::tuple(b.width() * b.height(), b.width());
    });
    return sizes;
}

QCameraFormat CameraDriver::FormatFor(QSize resolution) const
{
    const QList<QCameraFormat> formats = device_.videoFormats();
    QCameraFormat best;
    auto key = [&](const QCameraFormat& format) {
        const QSize size = format.resolution();
        const bool below = size.width() < kDefaultSize.width() || size.height() < kDefaultSize.height();
        const bool other = !resolution.isEmpty() && size != resolution;
        return std::tuple(other, below, size.width() * size.height(), -format.maxFrameRate());
    };
    for (const QCameraFormat& format : formats) {
        if (best.isNull() || key(format) < key(best)) best = format;
    }
    return best;
}

void CameraDriver::UseFormat(const QCameraFormat& format)
{
    // Not every backend changes format on a running camera.
    camera_->stop();
    latest_ = QVideoFrame();
    if (!format.isNull()) camera_->setCameraFormat(format);
    camera_->start();
}

bool CameraDriver::FormatDialog(QWidget* parent)
{
    if (!camera_) return false;
    const std::vector<QSize> sizes = CameraSizes();
    QStringList items{SizeText(kDefaultSize) + " (scaled)"};
    int current = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        items << SizeText(sizes[i]);
        if (!scaledDefault_ && sizes[i] == size_) current = static_cast<int>(i + 1);
    }
    const int chosen = ChooseFromList(parent, "Video Format", "Frame size:", "frameSize", items, current);
    if (chosen < 0 || !camera_) return false;
    if (chosen == current) return true;

    scaledDefault_ = chosen == 0;
    size_ = scaledDefault_ ? kDefaultSize : sizes[static_cast<std::size_t>(chosen - 1)];
    UseFormat(FormatFor(scaledDefault_ ? QSize() : size_));
    return true;
}

void CameraDriver::SourceDialog(QWidget* parent)
{
    if (!HasSourceDialog()) return;
    // The driver may be replaced while the dialog runs.
    QPointer<CameraSourceDialog> dialog = new CameraSourceDialog(*camera_, parent);
    const int result = dialog->exec();
    if (!dialog) return;
    if (result == QDialog::Accepted && camera_) dialog->ApplyTo(*camera_);
    delete dialog;
}
