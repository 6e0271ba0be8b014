// Which device "COMn:" opens, and opening devices for real on a
// pseudo-terminal (the only serial-like device on a machine without ports).

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <QSerialPortInfo>

#include "qt_serial_ports.hpp"

namespace {

using Names = std::vector<std::string>;

TEST(QtSerialPortsTest, AdaptersComeFirstByNumberThenOnBoardPortsByName)
{
    EXPECT_EQ(QtSerialPorts::OrderPorts({"ttyS1", "ttyACM1", "ttyUSB10", "ttyS10", "ttyUSB2", "ttyS0", "ttyACM0",
                                         "ttyS2", "ttyAMA0"}),
              (Names{"ttyUSB2", "ttyUSB10", "ttyACM0", "ttyACM1", "ttyAMA0", "ttyS0", "ttyS1", "ttyS2", "ttyS10"}));
    // Only "ttyUSB<number>" and "ttyACM<number>" are adapters.
    EXPECT_EQ(QtSerialPorts::OrderPorts({"ttyS0", "ttyUSBx", "ttyACM"}), (Names{"ttyACM", "ttyS0", "ttyUSBx"}));
    EXPECT_EQ(QtSerialPorts::OrderPorts({}), Names{});
}

TEST(QtSerialPortsTest, NamesOfNoPresentPortOpenNothing)
{
    QtSerialPorts ports;
    const auto beyond = std::to_string(QSerialPortInfo::availablePorts().size() + 1);
    EXPECT_EQ(ports.Open("COM" + beyond + ":"), nullptr);
    EXPECT_EQ(ports.Open("COM" + beyond), nullptr);
    EXPECT_EQ(ports.Open("COM0:"), nullptr);
    EXPECT_EQ(ports.Open("LPT1:"), nullptr);
    EXPECT_EQ(ports.Open("close"), nullptr);
    EXPECT_EQ(ports.Open(""), nullptr);
    EXPECT_EQ(QtSerialPorts::OpenDevice("/dev/telvane-no-such-port"), nullptr);
}

class PseudoTerminal : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[256];
        ASSERT_EQ(openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        slaveName_ = name;
        // Only the master end stays open here; the port opens the slave.
        close(slave_);
        fcntl(master_, F_SETFL, O_NONBLOCK);
    }
    void TearDown() override { close(master_); }

    int master_ = -1;
    int slave_ = -1;
    QString slaveName_;
};

TEST_F(PseudoTerminal, OpensWithoutSendingIsExclusiveAndClosesWhenDestroyed)
{
    auto line = QtSerialPorts::OpenDevice(slaveName_);
    ASSERT_NE(line, nullptr);
    line->DisableFlowControl();
    line->ClearErrors();

    EXPECT_EQ(QtSerialPorts::OpenDevice(slaveName_), nullptr) << "a busy port opened twice";
    char byte;
    EXPECT_EQ(read(master_, &byte, 1), -1) << "something was sent";
    EXPECT_EQ(errno, EAGAIN);

    line.reset();
    EXPECT_NE(QtSerialPorts::OpenDevice(slaveName_), nullptr) << "still busy after closing";
}

}  // namespace
