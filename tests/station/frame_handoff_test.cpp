// Preview frames into the transmitter: refusal of wrong lengths, nothing
// while not transmitting, and a reduced picture that goes out on the air
// with the capture window as the owner of later failure boxes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <span>
#include <vector>

#include "frame_handoff.hpp"
#include "tx/frame_reduction.hpp"
#include "fakes/fake_serial.hpp"
#include "fakes/fake_sound_player.hpp"
#include "fakes/fake_ui.hpp"
#include "rx/receive_chain.hpp"
#include "support/line_recorder.hpp"
#include "support/working_directory.hpp"
#include "ptt_port.hpp"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kRefusal = "Set Capture to 160 * 120, 24bit color";

// A frame whose row y holds grey level 2 * (y / 2), so that picture row r
// comes from level 2r: every row differs.
std::vector<std::uint8_t> RowRampFrame(std::size_t length = kFrameBytes)
{
    std::vector<std::uint8_t> frame(length, 0);
    for (std::size_t i = 0; i < std::min(length, kFrameBytes); ++i) frame[i] = static_cast<std::uint8_t>(2 * (i / 960));
    return frame;
}

class FrameCallbackTest : public ::testing::Test {
protected:
    void SetUp() override { shell.mainWindow = mainWindow; }

    std::int32_t Deliver(const std::vector<std::uint8_t>& frame)
    {
        return handoff.FrameCallback(captureWindow, frame);
    }

    TemporaryWorkingDirectory directory{"telvane-frame"};
    WindowHandle mainWindow{1};
    WindowHandle captureWindow{2};
    ShellState shell;
    SamplesPerBit samplesPerBit{4};
    FakeSerialPorts ports;
    FakeUi ui;
    FakeSoundPlayer player;
    PttPort port{ports};
    TransmitScheduler scheduler{samplesPerBit, port, ui, player, 0ms};
    FrameHandoff handoff{shell, ui, scheduler};
};

TEST_F(FrameCallbackTest, NothingHappensBeforeTheMainWindowExists)
{
    shell.mainWindow = nullptr;
    EXPECT_EQ(Deliver(RowRampFrame(57599)), 0);
    EXPECT_TRUE(ui.titles.empty());
}

TEST_F(FrameCallbackTest, WrongLengthsAreRefusedWithATitleLineAndNotRead)
{
    for (std::size_t length : {std::size_t{0}, std::size_t{57599}, std::size_t{57601}, std::size_t{230400}}) {
        SCOPED_TRACE(length);
        ui.titles.clear();
        EXPECT_EQ(Deliver(RowRampFrame(length)), 1);
        ASSERT_EQ(ui.titles.size(), 1u);
        EXPECT_EQ(ui.titles[0], kRefusal);
    }
    EXPECT_EQ(handoff.reducedPicture, Picture{});
}

TEST_F(FrameCallbackTest, WhileNotTransmittingTheFrameIsNotReduced)
{
    EXPECT_EQ(Deliver(RowRampFrame()), 1);
    EXPECT_EQ(handoff.reducedPicture, Picture{});
    EXPECT_TRUE(ui.titles.empty());
}

TEST_F(FrameCallbackTest, WhileTransmittingTheReducedFrameGoesOutOwnedByTheCaptureWindow)
{
    // The third file cannot be written: its failure box shows the owner.
    fs::create_directory("nbtv03.wav");
    player.Hold(true);
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(player.WaitForStarts(1));
    EXPECT_EQ(Deliver(RowRampFrame()), 1);
    player.Hold(false);
    ASSERT_TRUE(player.WaitForStarts(3));
    scheduler.StopTransmitting();

    for (int r = 0; r < kPictureHeight; ++r) {
        const auto level = static_cast<std::uint8_t>(2 * r);
        EXPECT_EQ(handoff.reducedPicture[r][0], GreyOf(level, level, level)) << r;
    }

    // The second transmission, heard after the first, carries the picture.
    LineRecorder heard;
    ReceiveChain<LineRecorder> receiver(heard);
    receiver.SetSamplesPerBit(4);
    const auto sounds = player.Sounds();
    receiver.Receive(sounds[0].samples);
    heard.lines.clear();
    receiver.Receive(sounds[1].samples);
    ASSERT_GE(heard.lines.size(), 60u);
    for (int r = 0; r < kPictureHeight - 1; ++r) EXPECT_EQ(heard.lines[1 + r], handoff.reducedPicture[r]) << r;

    ASSERT_TRUE(ui.WaitForBox());
    const auto boxes = ui.Boxes();
    EXPECT_EQ(boxes[0].text, "CANTOPENFILE");
    EXPECT_EQ(boxes[0].owner, captureWindow);
}

}  // namespace
