#include "camera_source_dialog.hpp"

#include <algorithm>
#include <vector>

#include <QCamera>

#include "ui_camera_source_dialog.h"

namespace {

struct WhiteBalanceName {
    QCamera::WhiteBalanceMode mode;
    const char* name;
};

constexpr WhiteBalanceName kWhiteBalanceModes[] = {
    {QCamera::WhiteBalanceAuto, "Automatic"},      {QCamera::WhiteBalanceManual, "Manual"},
    {QCamera::WhiteBalanceSunlight, "Sunlight"},   {QCamera::WhiteBalanceCloudy, "Cloudy"},
    {QCamera::WhiteBalanceShade, "Shade"},         {QCamera::WhiteBalanceTungsten, "Tungsten"},
    {QCamera::WhiteBalanceFluorescent, "Fluorescent"}, {QCamera::WhiteBalanceFlash, "Flash"},
    {QCamera::WhiteBalanceSunset, "Sunset"},
};

std::vector<QCamera::WhiteBalanceMode> WhiteBalanceModes(const QCamera& camera)
{
    std::vector<QCamera::WhiteBalanceMode> modes;
    for (const auto& [mode, name] : kWhiteBalanceModes) {
        if (camera.isWhiteBalanceModeSupported(mode)) modes.push_back(mode);
    }
    return modes;
}

bool HasZoom(const QCamera& camera) { return camera.maximumZoomFactor() > camera.minimumZoomFactor(); }
bool HasExposure(const QCamera& camera)
{
    return camera.supportedFeatures().testFlag(QCamera::Feature::ExposureCompensation);
}
bool HasWhiteBalance(const QCamera& camera) { return WhiteBalanceModes(camera).size() > 1; }
bool HasTemperature(const QCamera& camera)
{
    return camera.supportedFeatures().testFlag(QCamera::Feature::ColorTemperature);
}

// The colour temperature shown when the camera reports none (daylight).
constexpr int kDefaultTemperatureK = 6500;

}  // namespace

CameraSourceDialog::CameraSourceDialog(const QCamera& camera, QWidget* parent)
    : QDialog(parent), form_(std::make_unique<Ui_CameraSourceDialog>())
{
    form_->setupUi(this);
    connect(form_->buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(form_->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    form_->form->setRowVisible(form_->zoom, HasZoom(camera));
    form_->zoom->setRange(camera.minimumZoomFactor(), camera.maximumZoomFactor());
    form_->zoom->setValue(camera.zoomFactor());

    form_->form->setRowVisible(form_->exposureCompensation, HasExposure(camera));
    form_->exposureCompensation->setValue(camera.exposureCompensation());

    form_->form->setRowVisible(form_->whiteBalance, HasWhiteBalance(camera));
    const std::vector<QCamera::WhiteBalanceMode> modes = WhiteBalanceModes(camera);
    for (const auto& [mode, name] : kWhiteBalanceModes) {
        if (std::find(modes.begin(), modes.end(), mode) != modes.end()) {
            form_->whiteBalance->addItem(name, static_cast<int>(mode));
        }
    }
    form_->whiteBalance->setCurrentIndex(form_->whiteBalance->findData(static_cast<int>(camera.whiteBalanceMode())));

    form_->form->setRowVisible(form_->colourTemperature, HasTemperature(camera));
    form_->colourTemperature->setValue(camera.colorTemperature() > 0 ? camera.colorTemperature()
                                                                     : kDefaultTemperatureK);
}

CameraSourceDialog::~CameraSourceDialog() = default;

bool CameraSourceDialog::HasSettings(const QCamera& camera)
{
    return HasZoom(camera) || HasExposure(camera) || HasTemperature(camera) || HasWhiteBalance(camera);
}

void CameraSourceDialog::ApplyTo(QCamera& camera) const
{
    if (HasZoom(camera)) camera.setZoomFactor(static_cast<float>(form_->zoom->value()));
    if (HasExposure(camera)) camera.setExposureCompensation(static_cast<float>(form_->exposureCompensation->value()));
    if (HasWhiteBalance(camera)) {
        const int mode = form_->whiteBalance->currentData().toInt();
        camera.setWhiteBalanceMode(static_cast<QCamera::WhiteBalanceMode>(mode));
    }
    if (HasTemperature(camera)) camera.setColorTemperature(form_->colourTemperature->value());
}
