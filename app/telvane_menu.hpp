#pragma once
// The main window's menu, TELVANEMENU; command identifiers are the command
// codes. Capture driver items 150-153 are appended to "&Options" at run
// time, after its last separator.

#include "command_codes.hpp"
#include "menu_entry.hpp"

inline constexpr MenuEntry kTelvaneMenu[] = {
    {MenuEntry::kPopup, "&File"},
    {MenuEntry::kItem, "E&xit", Id(Command::Exit)},
    {MenuEntry::kEnd},
    {MenuEntry::kPopup, "&Options"},
    {MenuEntry::kItem, "&Preview", Id(Command::Preview), true},
    {MenuEntry::kItem, "&Overlay", Id(Command::Overlay)},
    {MenuEntry::kSeparator},
    {MenuEntry::kItem, "Video &Format...", Id(Command::VideoFormat)},
    {MenuEntry::kItem, "Video &Source...", Id(Command::VideoSource)},
    {MenuEntry::kItem, "Video &Display...", Id(Command::VideoDisplay)},
    {MenuEntry::kSeparator},
    {MenuEntry::kItem, "Send NBTV", Id(Command::SendNbtv)},
    {MenuEntry::kItem, "RX", Id(Command::Receive), true},
    {MenuEntry::kSeparator},
    {MenuEntry::kPopup, "TX_Port"},
    {MenuEntry::kItem, "COM1", Id(Command::PortCom1)},
    {MenuEntry::kItem, "COM2", Id(Command::PortCom2)},
    {MenuEntry::kItem, "none", Id(Command::PortNone), true},
    {MenuEntry::kEnd},
    {MenuEntry::kPopup, "Baudrate"},
    {MenuEntry::kItem, "5500 bps", Id(Command::Baud5500), true},
    {MenuEntry::kItem, "8250 bps", Id(Command::Baud8250)},
    {MenuEntry::kItem, "11000 bps", Id(Command::Baud11000)},
    {MenuEntry::kEnd},
    {MenuEntry::kItem, "Robust receiver", Id(Command::RobustReceiver)},
    {MenuEntry::kSeparator},
    {MenuEntry::kEnd},
    {MenuEntry::kPopup, "&Help"},
    {MenuEntry::kItem, "&About...", Id(Command::About)},
    {MenuEntry::kEnd},
};
