#pragma once
// Menu item identifiers, which are the main window's command codes.

#include <cstdint>

namespace command {
constexpr std::int32_t kExit = 104;
constexpr std::int32_t kPreview = 131;
constexpr std::int32_t kOverlay = 132;
constexpr std::int32_t kVideoFormat = 134;
constexpr std::int32_t kVideoSource = 135;
constexpr std::int32_t kVideoDisplay = 136;
constexpr std::int32_t kSendNbtv = 140;
constexpr std::int32_t kFirstDriver = 150;  // to 153
constexpr std::int32_t kAbout = 191;
constexpr std::int32_t kPortCom1 = 40009;
constexpr std::int32_t kPortCom2 = 40010;
constexpr std::int32_t kPortNone = 40011;
constexpr std::int32_t kReceive = 40015;
constexpr std::int32_t kBaud5500 = 40017;
constexpr std::int32_t kBaud8250 = 40018;
constexpr std::int32_t kBaud11000 = 40019;
// Beyond the original menu: the choice between the exact and the robust receiver.
constexpr std::int32_t kRobustReceiver = 40020;
}  // namespace command
