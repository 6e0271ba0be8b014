// Port names that are no serial device: nothing opens, nothing is left
// open, and transmitting runs unkeyed without a word.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QString>

#include "command_codes.hpp"
#include "fakes/fake_sound_player.hpp"
#include "fakes/fake_ui.hpp"
#include "qt_serial_ports.hpp"
#include "support/working_directory.hpp"
#include "ptt_port.hpp"
#include "transmit_scheduler.hpp"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

long OpenDescriptors()
{
    long count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

// Every "COMn:" is the one device at location.
class DevicePorts : public SerialPorts {
public:
    explicit DevicePorts(std::string location) : location_(std::move(location)) {}
    std::unique_ptr<SerialLine> Open(const std::string& name) override
    {
        opened.push_back(name);
        return QtSerialPorts::OpenDevice(QString::fromStdString(location_));
    }
    std::vector<std::string> opened;

private:
    std::string location_;
};

class BadPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::ofstream(dir_ / "regular") << "not a port";
        fs::create_directory(dir_ / "directory");
    }
    TemporaryDirectory directory_{"telvane-port"};
    const fs::path dir_ = directory_.Path();
};

TEST_F(BadPortTest, DevicesThatAreNoSerialPortDoNotOpenOrStayOpen)
{
    const long before = OpenDescriptors();
    for (const std::string& location : {std::string("/dev/null"), std::string("/dev/full"), (dir_ / "regular").string(),
                                       (dir_ / "directory").string()}) {
        SCOPED_TRACE(location);
        EXPECT_EQ(QtSerialPorts::OpenDevice(QString::fromStdString(location)), nullptr);
        EXPECT_EQ(OpenDescriptors(), before) << "a failed open left its descriptor open";
    }
    std::string contents;
    std::getline(std::ifstream(dir_ / "regular"), contents);
    EXPECT_EQ(contents, "not a port") << "the file was written to";
}

TEST_F(BadPortTest, TransmittingWithAPortThatIsNoSerialDeviceRunsUnkeyedAndSaysNothing)
{
    const fs::path previous = fs::current_path();
    fs::current_path(dir_);
    DevicePorts ports("/dev/null");
    FakeUi ui;
    FakeSoundPlayer player;
    PttPort port(ports);
    SamplesPerBit samplesPerBit{4};
    {
        TransmitScheduler scheduler(samplesPerBit, port, ui, player, 0ms);
        scheduler.SelectPort(1);
        scheduler.ToggleSendNbtv();
        EXPECT_EQ(scheduler.transmitting, 1);
        EXPECT_FALSE(port.IsOpen());
        const bool played = player.WaitForStarts(2);
        scheduler.ToggleSendNbtv();
        EXPECT_TRUE(played);
        for (int i = 0; i < 1000 && scheduler.ThreadActive(); ++i) std::this_thread::sleep_for(10ms);
        EXPECT_FALSE(scheduler.ThreadActive());
    }
    fs::current_path(previous);
    EXPECT_EQ(ports.opened, std::vector<std::string>{"COM1:"});
    EXPECT_TRUE(ui.Boxes().empty());
    const auto sounds = player.Sounds();
    ASSERT_GE(sounds.size(), 2u);
    EXPECT_EQ(sounds[0].samples.size(), 156196u);
    EXPECT_EQ(port.OpenPort("COM2:"), 0);
    EXPECT_FALSE(port.IsOpen());
}

}  // namespace
