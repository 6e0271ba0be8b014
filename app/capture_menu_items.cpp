#include "capture_menu_items.hpp"

#include <cstdio>

#include "command_codes.hpp"

void CaptureMenuItems::AddDriver(int index, std::string_view name)
{
    char item[CapturePlatform::kDriverNameSize + 16];
    std::snprintf(item, sizeof item, "&%d %.*s", index, static_cast<int>(name.size()), name.data());
    ui_.AppendMenuItem(kOptionsPopup, Id(Command::FirstDriver) + index, item);
}

void CaptureMenuItems::CheckDriver(int index, bool checked) { ui_.CheckMenuItem(Id(Command::FirstDriver) + index, checked); }

void CaptureMenuItems::OfferFeatures(const CaptureDriverCaps& caps)
{
    ui_.EnableMenuItem(Id(Command::Overlay), caps.hasOverlay);
    ui_.EnableMenuItem(Id(Command::VideoFormat), caps.hasFormatDialog);
    ui_.EnableMenuItem(Id(Command::VideoSource), caps.hasSourceDialog);
    ui_.EnableMenuItem(Id(Command::VideoDisplay), caps.hasDisplayDialog);
}

void CaptureMenuItems::CheckPreviewAndOverlay(bool preview, bool overlay)
{
    ui_.CheckMenuItem(Id(Command::Preview), preview);
    ui_.CheckMenuItem(Id(Command::Overlay), overlay);
}
