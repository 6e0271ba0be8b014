#pragma once
// A camera Qt lists, through QCamera, QMediaCaptureSession and QVideoSink.
// The newest video frame is kept as it arrives and only converted (toImage,
// filled to the chosen size) when a preview tick asks for it. By default
// frames are 160 x 120, scaled from the camera format nearest to that; the
// format dialog offers that or one of the camera's own sizes. The source
// dialog offers the controls Qt exposes for the camera: zoom, exposure
// compensation, white balance mode and colour temperature, where supported.

#include <memory>
#include <vector>

#include <QCameraDevice>
#include <QCameraFormat>
#include <QSize>
#include <QVideoFrame>

#include "qt_capture.hpp"

class QCamera;
class QMediaCaptureSession;
class QVideoSink;

class CameraDriver : public QtCaptureDriver {
public:
    static constexpr QSize kDefaultSize{160, 120};

    explicit CameraDriver(const QCameraDevice& device);
    ~CameraDriver() override;

    bool Start(QString& problem) override;
    QSize FrameSize() const override { return size_; }
    QImage NewestFrame() override;
    bool HasSourceDialog() const override;
    bool FormatDialog(QWidget* parent) override;
    void SourceDialog(QWidget* parent) override;

private:
    // The camera's sizes, smallest first, each once.
    std::vector<QSize> CameraSizes() const;
    // The format of resolution with the highest frame rate; for an empty
    // resolution, the one nearest the default size (not below it if any).
    QCameraFormat FormatFor(QSize resolution) const;
    void UseFormat(const QCameraFormat& format);

    QCameraDevice device_;
    // Declared so that the session goes first.
    std::unique_ptr<QCamera> camera_;
    std::unique_ptr<QVideoSink> sink_;
    std::unique_ptr<QMediaCaptureSession> session_;
    QVideoFrame latest_;
    QSize size_ = kDefaultSize;
    bool scaledDefault_ = true;
};
