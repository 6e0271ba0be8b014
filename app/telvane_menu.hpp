#pragma once
// The main window's menu, TELVANEMENU; command identifiers are the command
// codes. Capture driver items 150-153 are appended to "&Options" at run
// time, after its last separator.

#include "command_codes.hpp"
#include "menu_entry.hpp"

inline constexpr MenuEntry kTelvaneMenu[] = {
    {MenuEntry::kPopup, "&File"},
    {MenuEntry::kItem, "E&xit", command::kExit},
    {MenuEntry::kEnd},
    {MenuEntry::kPopup, "&Options"},
    {MenuEntry::kItem, "&Preview", command::kPreview, true},
    {MenuEntry::kItem, "&Overlay", command::kOverlay},
    {MenuEntry::kSeparator},
    {MenuEntry::kItem, "Video &Format...", command::kVideoFormat},
    {MenuEntry::kItem, "Video &Source...", command::kVideoSource},
    {MenuEntry::kItem, "Video &Display...", command::kVideoDisplay},
    {MenuEntry::kSeparator},
    {MenuEntry::kItem, "Send NBTV", command::kSendNbtv},
    {MenuEntry::kItem, "RX", command::kReceive, true},
    {MenuEntry::kSeparator},
    {MenuEntry::kPopup, "TX_Port"},
    {MenuEntry::kItem, "COM1", command::kPortCom1},
    {MenuEntry::kItem, "COM2", command::kPortCom2},
    {MenuEntry::kItem, "none", command::kPortNone, true},
    {MenuEntry::kEnd},
    {MenuEntry::kPopup, "Baudrate"},
    {MenuEntry::kItem, "5500 bps", command::kBaud5500, true},
    {MenuEntry::kItem, "8250 bps", command::kBaud8250},
    {MenuEntry::kItem, "11000 bps", command::kBaud11000},
    {MenuEntry::kEnd},
    {MenuEntry::kItem, "Robust receiver", command::kRobustReceiver},
    {MenuEntry::kSeparator},
    {MenuEntry::kEnd},
    {MenuEntry::kPopup, "&Help"},
    {MenuEntry::kItem, "&About...", command::kAbout},
    {MenuEntry::kEnd},
};
