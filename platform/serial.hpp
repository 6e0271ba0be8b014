#pragma once
// Serial ports, used only for their RTS and DTR lines.

#include <memory>
#include <string>

// An open port; destroying it closes the port.
class SerialLine {
public:
    virtual ~SerialLine() = default;
    // Output waits for neither CTS nor DSR, and RTS and DTR change only on
    // request; the port's other settings stay as they were.
    virtual void DisableFlowControl() = 0;
    virtual void ClearErrors() = 0;
    virtual void SetRts(bool raised) = 0;
    virtual void SetDtr(bool raised) = 0;
};

class SerialPorts {
public:
    virtual ~SerialPorts() = default;
    // Opens "COM1:", "COM2:", … without sending anything; null when the
    // port is absent or busy.
    virtual std::unique_ptr<SerialLine> Open(const std::string& name) = 0;
};
