#pragma once
// Serial ports that exist only by name; every request is logged in order,
// e.g. "open COM1:", "flow off", "clear", "rts 1", "dtr 0", "close".

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "serial.hpp"

class FakeSerialPorts : public SerialPorts {
public:
    std::unique_ptr<SerialLine> Open(const std::string& name) override
    {
        log.push_back("open " + name);
        if (present.count(name) == 0) return nullptr;
        return std::make_unique<Line>(log);
    }

    std::set<std::string> present;
    std::vector<std::string> log;

private:
    class Line : public SerialLine {
    public:
        explicit Line(std::vector<std::string>& log) : log_(log) {}
        ~Line() override { log_.push_back("close"); }
        void DisableFlowControl() override { log_.push_back("flow off"); }
        void ClearErrors() override { log_.push_back("clear"); }
        void SetRts(bool raised) override { log_.push_back(raised ? "rts 1" : "rts 0"); }
        void SetDtr(bool raised) override { log_.push_back(raised ? "dtr 1" : "dtr 0"); }

    private:
        std::vector<std::string>& log_;
    };
};
