#pragma once
// Menu item identifiers, which are the main window's command codes.

#include <cstdint>

enum class Command : std::int32_t {
    Exit = 104,
    Preview = 131,
    Overlay = 132,
    VideoFormat = 134,
    VideoSource = 135,
    VideoDisplay = 136,
    SendNbtv = 140,
    FirstDriver = 150,  // to 153, one per capture driver
    About = 191,
    PortCom1 = 40009,
    PortCom2 = 40010,
    PortNone = 40011,
    Receive = 40015,
    Baud5500 = 40017,
    Baud8250 = 40018,
    Baud11000 = 40019,
    // Beyond the original menu: the choice between the exact and the robust receiver.
    RobustReceiver = 40020,
};

// The code a menu item carries.
constexpr std::int32_t Id(Command command) { return static_cast<std::int32_t>(command); }
