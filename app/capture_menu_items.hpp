#pragma once
// Capture control's menu as the main window's items: the drivers become
// items 150-153 at the end of "&Options", and overlay and the driver's
// dialogs are grayed where the driver lacks them.

#include <string_view>

#include "capture_control.hpp"
#include "ui.hpp"

class CaptureMenuItems : public CaptureMenu {
public:
    static constexpr int kOptionsPopup = 1;  // position of "&Options" in the menu bar

    explicit CaptureMenuItems(Ui& ui) : ui_(ui) {}

    void AddDriver(int index, std::string_view name) override;
    void CheckDriver(int index, bool checked) override;
    void OfferFeatures(const CaptureDriverCaps& caps) override;
    void CheckPreviewAndOverlay(bool preview, bool overlay) override;
    void Redraw() override { ui_.DrawMenuBar(); }

private:
    Ui& ui_;
};
