#pragma once
// Serial ports through Qt SerialPort, opened only to drive RTS and DTR.
// Use on the GUI thread (QSerialPort is a QObject living where it is made).

#include <memory>
#include <string>
#include <vector>

#include <QString>

#include "serial.hpp"

class QtSerialPorts : public SerialPorts {
public:
    // "COM1:" (or "COM1") is the first port of OrderPorts(present ports),
    // "COM2:" the second, and so on; on Windows "COMn:" is the port COMn.
    std::unique_ptr<SerialLine> Open(const std::string& name) override;

    // Opens a port by its system location (e.g. "/dev/ttyUSB0"): read-write,
    // no flow control, RTS and DTR low. Null when absent or busy.
    static std::unique_ptr<SerialLine> OpenDevice(const QString& location);

    // The order in which port names ("ttyUSB1", "ttyS0", ...) count as COM1,
    // COM2, ...: USB adapters by number, then ACM adapters by number, then
    // the rest (on-board ports) by name, numbers compared as numbers.
    static std::vector<std::string> OrderPorts(std::vector<std::string> names);
};
