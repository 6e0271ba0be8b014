#include "ptt_port.hpp"

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
