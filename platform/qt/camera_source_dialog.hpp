#pragma once
// "Video Source" for a camera, from the Designer form
// resources/camera_source_dialog.ui: zoom, exposure compensation, white
// balance and colour temperature, each row shown only when the camera
// supports it, starting from the camera's present settings.

#include <memory>

#include <QDialog>

class QCamera;
class Ui_CameraSourceDialog;

class CameraSourceDialog : public QDialog {
public:
    CameraSourceDialog(const QCamera& camera, QWidget* parent);
    ~CameraSourceDialog() override;

    // Whether the camera has any setting this dialog offers.
    static bool HasSettings(const QCamera& camera);

    // Sets the camera to the values shown in the supported rows.
    void ApplyTo(QCamera& camera) const;

private:
    std::unique_ptr<Ui_CameraSourceDialog> form_;
};
