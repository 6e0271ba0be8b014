// The main window's logic with fakes behind every platform interface:
// creation and ending sequences, the timer's level line and the command
// dispatcher.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "capture_menu_items.hpp"
#include "shell.hpp"
#include "frame_handoff.hpp"
#include "command_codes.hpp"
#include "fakes/fake_capture.hpp"
#include "fakes/fake_serial.hpp"
#include "fakes/fake_sound_input.hpp"
#include "fakes/fake_sound_player.hpp"
#include "fakes/fake_ui.hpp"
#include "fakes/fake_window_system.hpp"

using namespace std::chrono_literals;

namespace {

using Calls = std::vector<std::string>;

class ShellTest : public ::testing::Test {
protected:
    ShellTest()
    {
        ui.log = &log;
        sound.log = &log;
        platform.drivers[0] = FakeCapturePlatform::Driver{"Card"};
    }

    void Create()
    {
        shell.OnCreate(mainWindow);
        state.mainWindow = mainWindow;
    }

    // Everything after the last occurrence of call in the log.
    Calls After(const std::string& call)
    {
        const Calls calls = log.Calls();
        for (std::size_t i = calls.size(); i-- > 0;) {
            if (calls[i] == call) return Calls(calls.begin() + static_cast<long>(i) + 1, calls.end());
        }
        return {};
    }

    WindowHandle mainWindow{1};
    CallLog log;
    FakeUi ui;
    FakeWindowSystem windows{log};
    FakeCapturePlatform platform{log};
    FakeSoundInput sound;
    FakeSoundPlayer player;
    FakeSerialPorts ports;
    ShellState state;
    SamplesPerBit samplesPerBit{kInitialSamplesPerBit};
    PictureView view;
    DesktopReceiver receiver{view};
    DesktopAudio audio{sound, samplesPerBit, receiver};
    PttPort port{ports};
    TransmitScheduler scheduler{samplesPerBit, port, ui, player, 0ms};
    FrameHandoff frames{state, ui, scheduler};
    CaptureMenuItems captureMenu{ui};
    CaptureControl capture{platform, captureMenu, ui, ui, state, frames};
    Shell shell{{ui, windows, state, samplesPerBit, capture, scheduler, audio, receiver}};
};

TEST_F(ShellTest, CreationLeavesTheCameraPreviewingTheTimerRunningAndRecording)
{
    Create();
    EXPECT_TRUE(platform.exists);
    EXPECT_EQ(platform.connected, 0);
    EXPECT_TRUE(platform.preview);
    EXPECT_EQ(ui.appended.size(), 1u);
    EXPECT_GE(ui.menuBarDraws, 1);
    EXPECT_EQ(windows.timers, (std::map<int, int>{{1, 200}}));
    EXPECT_TRUE(sound.running);
    EXPECT_EQ(audio.receiverNotRunning, 0);
    EXPECT_TRUE(ui.Boxes().empty());
}

TEST_F(ShellTest, WithoutRecordingTheLevelLineReadsTheZeroLevelAndRxCanRetry)
{
    sound.devicepresent = false;
    Create();
    auto boxes = ui.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "could not start recording");
    EXPECT_EQ(boxes[0].caption, "error");
    EXPECT_EQ(boxes[0].owner, mainWindow);
    EXPECT_EQ(audio.receiverNotRunning, 1);

    // The title says the input is gone for as long as it is.
    shell.OnTimer();
    EXPECT_EQ(ui.titles.back(), "dc-offset 128, max 128, min 128 - no sound input");

    // The check mark stayed on: the first "RX" only removes it; the next
    // tries again and, failing, says so.
    shell.DispatchCommand(mainWindow, Id(Command::Receive));
    EXPECT_FALSE(ui.checked[Id(Command::Receive)]);
    EXPECT_EQ(sound.starts, 1);
    shell.DispatchCommand(mainWindow, Id(Command::Receive));
    EXPECT_TRUE(ui.checked[Id(Command::Receive)]);
    EXPECT_EQ(ui.Boxes().size(), 2u);
    sound.devicepresent = true;
    shell.DispatchCommand(mainWindow, Id(Command::Receive));
    shell.DispatchCommand(mainWindow, Id(Command::Receive));
    EXPECT_EQ(sound.starts, 3);
    EXPECT_EQ(ui.Boxes().size(), 2u);
    EXPECT_EQ(audio.receiverNotRunning, 0);
    shell.OnTimer();
    EXPECT_EQ(ui.titles.back(), "dc-offset 128, max 128, min 128");

    // A device that stops while recording (its sound server gone) is said too.
    sound.failPosition = true;
    shell.OnTimer();
    EXPECT_EQ(ui.titles.back(), "dc-offset 128, max 128, min 128 - no sound input");
}

TEST_F(ShellTest, EachTickPollsTheRecordingIntoTheReceiverThenShowsTheLevels)
{
    Create();
    const std::vector<std::uint8_t> loud(2000, 250);
    sound.Record(loud);
    shell.OnTimer();
    EXPECT_EQ(audio.lastReadOffset, 2000u);
    EXPECT_EQ(ui.titles.back().rfind("dc-offset ", 0), 0u);
    EXPECT_NE(ui.titles.back(), "dc-offset 128, max 128, min 128");
    // The same samples through a receiver of its own give the same line.
    PictureView otherView;
    ReceiveChain<PictureView> other(otherView);
    other.SetSamplesPerBit(4);
    other.Receive(loud);
    EXPECT_EQ(ui.titles.back(), LevelLine(other.tracker));
}

TEST_F(ShellTest, TheBitRateItemsSetSamplesPerBitAndMoveTheCheck)
{
    Create();
    const struct {
        std::int32_t item;
        std::int32_t samplesPerBit;
    } rates[] = {{Id(Command::Baud8250), 3}, {Id(Command::Baud11000), 2}, {Id(Command::Baud5500), 4}};
    for (const auto& rate : rates) {
        shell.DispatchCommand(mainWindow, rate.item);
        EXPECT_EQ(samplesPerBit.load(), rate.samplesPerBit);
        for (std::int32_t item : {Id(Command::Baud5500), Id(Command::Baud8250), Id(Command::Baud11000)}) {
            EXPECT_EQ(ui.checked[item], item == rate.item) << rate.item << " " << item;
        }
    }
    // The receiver follows at its next poll.
    shell.DispatchCommand(mainWindow, Id(Command::Baud8250));
    shell.OnTimer();
    EXPECT_EQ(receiver.exact.clock.phaseIncrement, 100.0 / 3);

    // "Robust receiver" switches which receiver feeds the picture, and back.
    for (bool robust : {true, false}) {
        shell.DispatchCommand(mainWindow, Id(Command::RobustReceiver));
        EXPECT_EQ(receiver.Robust(), robust);
        EXPECT_EQ(ui.checked[Id(Command::RobustReceiver)], robust);
    }
}

TEST_F(ShellTest, ExitDestroysAtOnceWhileTheCloseBoxStopsEverythingFirst)
{
    Create();
    shell.DispatchCommand(mainWindow, Id(Command::Exit));
    EXPECT_EQ(windows.destroyed, mainWindow);
    EXPECT_TRUE(sound.running);
    EXPECT_TRUE(platform.exists);
    EXPECT_FALSE(windows.timers.empty());

    windows.destroyed = nullptr;
    shell.OnClose(mainWindow);
    EXPECT_FALSE(sound.running);
    EXPECT_TRUE(windows.timers.empty());
    EXPECT_FALSE(platform.exists);
    EXPECT_EQ(platform.errors, nullptr);
    EXPECT_EQ(platform.statuses, nullptr);
    EXPECT_EQ(platform.frames, nullptr);
    EXPECT_EQ(windows.destroyed, mainWindow);

    EXPECT_FALSE(windows.quitCode);
    shell.OnDestroy();
    EXPECT_EQ(windows.quitCode, 0);
}

TEST_F(ShellTest, TheCloseBoxLeavesAStoppedRecordingAlone)
{
    sound.devicepresent = false;
    Create();
    shell.OnClose(mainWindow);
    EXPECT_EQ(sound.stops, 0);
}

TEST_F(ShellTest, CommandsReachTheirSubsystemsAndOthersAreIgnored)
{
    platform.drivers[1] = FakeCapturePlatform::Driver{"Second"};
    Create();

    log.Clear();
    shell.DispatchCommand(mainWindow, (1 << 16) | Id(Command::Exit));
    shell.DispatchCommand(mainWindow, (1 << 16) | Id(Command::Baud11000));
    shell.DispatchCommand(mainWindow, 0);
    shell.DispatchCommand(mainWindow, 154);
    shell.DispatchCommand(mainWindow, 149);
    EXPECT_TRUE(log.Calls().empty());
    EXPECT_EQ(samplesPerBit.load(), 4);

    shell.DispatchCommand(mainWindow, Id(Command::Preview));
    EXPECT_EQ(After("get status"), (Calls{"preview off"}));
    shell.DispatchCommand(mainWindow, Id(Command::FirstDriver) + 1);
    EXPECT_TRUE(log.Contains("connect 1"));
    shell.DispatchCommand(mainWindow, Id(Command::About));
    EXPECT_EQ(windows.aboutOwner, mainWindow);
    shell.OnInitMenu(ui);
    EXPECT_TRUE(ui.checked[Id(Command::Preview)]);  // the new driver's refresh turned preview on
    shell.OnMoveOrResize();
    EXPECT_EQ(log.Calls().back(), "move 10,10 160x120");
    shell.OnPaletteChanged();
    EXPECT_EQ(log.Calls().back(), "palette");

    shell.DispatchCommand(mainWindow, Id(Command::PortCom2));
    EXPECT_TRUE(ui.checked[Id(Command::PortCom2)]);
    EXPECT_FALSE(ui.checked[Id(Command::PortNone)]);
    // While sending, the port cannot be changed.
    shell.DispatchCommand(mainWindow, Id(Command::SendNbtv));
    EXPECT_EQ(scheduler.transmitting, 1);
    EXPECT_TRUE(ui.checked[Id(Command::SendNbtv)]);
    for (std::int32_t item : {Id(Command::PortCom1), Id(Command::PortCom2), Id(Command::PortNone)})
        EXPECT_FALSE(ui.enabled[item]);
    shell.DispatchCommand(mainWindow, Id(Command::SendNbtv));
    EXPECT_EQ(scheduler.transmitting, 0);
    EXPECT_FALSE(ui.checked[Id(Command::SendNbtv)]);
    for (std::int32_t item : {Id(Command::PortCom1), Id(Command::PortCom2), Id(Command::PortNone)})
        EXPECT_TRUE(ui.enabled[item]);
}

}  // namespace
