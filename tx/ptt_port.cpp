#include "tx/ptt_port.hpp"

#include "common/command_codes.hpp"
#include "tx/transmit_scheduler.hpp"

std::int32_t PttPort::OpenPort(const std::string& name)
{
    ClosePort();
    if (name == "close") return 1;
    port_ = ports_.Open(name);
    if (!port_) return 0;
    port_->DisableFlowControl();
    port_->ClearErrors();
    // A freshly opened port leaves the transmitter unkeyed.
    port_->SetRts(false);
    port_->SetDtr(false);
    return 1;
}

void PttPort::KeyingOn()
{
    if (!port_) return;
    port_->SetRts(true);
    port_->SetDtr(true);
}

void PttPort::KeyingOff()
{
    if (!port_) return;
    port_->SetRts(false);
    port_->SetDtr(false);
}

void PttPort::PortCommand(std::int32_t command, TransmitScheduler& scheduler)
{
    // The items are grayed while transmitting, so there is normally
    // nothing to stop or close here.
    scheduler.StopTransmitting();
    ClosePort();
    scheduler.transmitting = 0;
    portSelection = command == command::kPortCom1 ? 1 : command == command::kPortCom2 ? 2 : 0;
    for (std::int32_t item : {command::kPortCom1, command::kPortCom2, command::kPortNone})
        ui_.CheckMenuItem(item, item == command);
}
