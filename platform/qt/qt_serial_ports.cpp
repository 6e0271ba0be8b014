#include "qt_serial_ports.hpp"

#include <algorithm>
#include <charconv>
#include <optional>
#include <tuple>

#include <QSerialPort>
#include <QSerialPortInfo>

namespace {

class QtSerialLine : public SerialLine {
public:
    explicit QtSerialLine(const QString& location) { port_.setPortName(location); }

    // No data ever passes, so QSerialPort's own line settings on open do no
    // harm; nothing here changes the baud rate, data bits or parity.
    bool Open()
    {
        if (!port_.open(QIODevice::ReadWrite)) return false;
        DisableFlowControl();
        SetRts(false);
        SetDtr(false);
        return true;
    }

    // RTS and DTR are never driven by flow control once it is off.
    void DisableFlowControl() override { port_.setFlowControl(QSerialPort::NoFlowControl); }
    void ClearErrors() override { port_.clearError(); }
    void SetRts(bool raised) override { port_.setRequestToSend(raised); }
    void SetDtr(bool raised) override { port_.setDataTerminalReady(raised); }

private:
    QSerialPort port_;  // closes when destroyed
};

// The number at the end of name after prefix, if name is exactly that.
std::optional<unsigned> NumberAfter(const std::string& name, std::string_view prefix)
{
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    unsigned number = 0;
    const char* first = name.data() + prefix.size();
    const char* last = name.data() + name.size();
    auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last) return std::nullopt;
    return number;
}

// "ttyS10" → ("ttyS", 10); a name without trailing digits keeps number -1.
std::pair<std::string, long> SplitTrailingNumber(const std::string& name)
{
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    if (digits == name.size() || name.size() - digits > 9) return {name, -1};
    return {name.substr(0, digits), std::stol(name.substr(digits))};
}

// 1-based port number of "COMn:" or "COMn" (any case); 0 for other names.
unsigned ComNumber(const std::string& name)
{
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (!upper.empty() && upper.back() == ':') upper.pop_back();
    return NumberAfter(upper, "COM").value_or(0);
}

}  // namespace

std::vector<std::string> QtSerialPorts::OrderPorts(std::vector<std::string> names)
{
    auto key = [](const std::string& name) {
        if (auto n = NumberAfter(name, "ttyUSB")) return std::tuple(0, std::string(), long(*n), name);
        if (auto n = NumberAfter(name, "ttyACM")) return std::tuple(1, std::string(), long(*n), name);
        auto [stem, number] = SplitTrailingNumber(name);
        return std::tuple(2, stem, number, name);
    };
    std::stable_sort(names.begin(), names.end(),
                     [&](const std::string& a, const std::string& b) { return key(a) < key(b); });
    return names;
}

std::unique_ptr<SerialLine> QtSerialPorts::Open(const std::string& name)
{
    const unsigned number = ComNumber(name);
    if (number == 0) return nullptr;
#ifdef Q_OS_WIN
    return OpenDevice(QStringLiteral("COM%1").arg(number));
#else
    std::vector<std::string> present;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        present.push_back(info.portName().toStdString());
    present = OrderPorts(std::move(present));
    if (number > present.size()) return nullptr;
    // QSerialPort resolves a bare port name under /dev.
    return OpenDevice(QString::fromStdString(present[number - 1]));
#endif
}

std::unique_ptr<SerialLine> QtSerialPorts::OpenDevice(const QString& location)
{
    auto line = std::make_unique<QtSerialLine>(location);
    if (!line->Open()) return nullptr;
    return line;
}
