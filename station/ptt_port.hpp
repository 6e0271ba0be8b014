#pragma once
// Keys the radio through a serial port's RTS and DTR lines while
// transmitting is on. No data is ever sent on the port.

#include <cstdint>
#include <memory>
#include <string>

#include "serial.hpp"

class PttPort {
public:
    explicit PttPort(SerialPorts& ports) : ports_(ports) {}

    // Opens "COM1:" or "COM2:" with both lines low; "close" only closes.
    // 1 when a port is open (or for "close"), 0 when it could not be opened.
    std::int32_t OpenPort(const std::string& name);
    void ClosePort() { port_.reset(); }

    // RTS, then DTR, when a port is open.
    void KeyingOn();
    void KeyingOff();

    // 0 none, 1 COM1, 2 COM2: the port opened the next time transmitting
    // is turned on.
    std::int32_t portSelection = 0;

    bool IsOpen() const { return port_ != nullptr; }

private:
    SerialPorts& ports_;
    std::unique_ptr<SerialLine> port_;
};
