#include "capture_menu_items.hpp"

#include <cstdio>

#include "command_codes.hpp"

void CaptureMenuItems::AddDriver(int index, std::string_view name)
{
    char item[CapturePlatform::kDriverNameSize + 16];
    std::snprintf(item, sizeof item, "&%d %.*s", index, static_cast<int>(name.size()), name.data());
    ui_.AppendMenuItem(kOptionsPopup, command::kFirstDriver + index, item);
}

void CaptureMenuItems::CheckDriver(int index, bool checked) { ui_.CheckMenuItem(command::kFirstDriver + index, checked); }

void CaptureMenuItems::OfferFeatures(const CaptureDriverCaps& caps)
{
    ui_.EnableMenuItem(command::kOverlay, caps.fHasOverlay != 0);
    ui_.EnableMenuItem(command::kVideoFormat, caps.fHasDlgVideoFormat != 0);
    ui_.EnableMenuItem(command::kVideoSource, caps.fHasDlgVideoSource != 0);
    ui_.EnableMenuItem(command::kVideoDisplay, caps.fHasDlgVideoDisplay != 0);
}

void CaptureMenuItems::CheckPreviewAndOverlay(bool preview, bool overlay)
{
    ui_.CheckMenuItem(command::kPreview, preview);
    ui_.CheckMenuItem(command::kOverlay, overlay);
}
