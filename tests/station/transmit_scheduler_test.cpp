// The transmit scheduler and keying with fakes for the player, the serial
// ports and the user interface; the encoder and the WAV files are real.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "fakes/fake_serial.hpp"
#include "fakes/fake_sound_player.hpp"
#include "fakes/fake_ui.hpp"
#include "rx/receive_chain.hpp"
#include "ptt_port.hpp"
#include "transmit_scheduler.hpp"
#include "support/line_recorder.hpp"
#include "support/working_directory.hpp"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Rows 0 to 58 of each played transmission, decoded by one receiver as a
// remote station would hear them back to back.
std::vector<std::vector<PictureLine>> Received(const std::vector<FakeSoundPlayer::Played>& sounds)
{
    LineRecorder recorder;
    ReceiveChain<LineRecorder> chain(recorder);
    chain.SetSamplesPerBit(4);
    std::vector<std::vector<PictureLine>> pictures;
    for (const auto& sound : sounds) {
        recorder.lines.clear();
        EXPECT_FALSE(sound.samples.empty());
        chain.Receive(sound.samples);
        // The first line to complete is the previous transmission's last.
        if (!pictures.empty() && !recorder.lines.empty()) recorder.lines.erase(recorder.lines.begin());
        recorder.lines.resize(kPictureHeight - 1);
        pictures.push_back(recorder.lines);
    }
    return pictures;
}

Picture Filled(std::uint8_t value)
{
    Picture picture;
    for (PictureLine& line : picture) line.fill(value);
    return picture;
}

bool IsFilled(const std::vector<PictureLine>& rows, std::uint8_t value)
{
    for (const PictureLine& row : rows)
        for (std::uint8_t v : row)
            if (v != value) return false;
    return true;
}

class TransmitSchedulerTest : public ::testing::Test {
protected:

    // Waits (up to 10 s) for the transmit thread to end.
    bool ThreadEnds(TransmitScheduler& scheduler)
    {
        for (int i = 0; i < 1000 && scheduler.ThreadActive(); ++i) std::this_thread::sleep_for(10ms);
        return !scheduler.ThreadActive();
    }

    TemporaryWorkingDirectory directory{"telvane-tx"};
    SamplesPerBit samplesPerBit{4};
    FakeSerialPorts ports;
    FakeUi ui;
    FakeSoundPlayer player;
    PttPort port{ports};
};

TEST_F(TransmitSchedulerTest, FilesRotateFrom01ThroughThe00AndOnAcrossOffAndOn)
{
    TransmitScheduler scheduler(samplesPerBit, port, ui, player, 0ms);
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(player.WaitForStarts(21));
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(ThreadEnds(scheduler));
    const std::size_t before = player.Sounds().size();
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(player.WaitForStarts(before + 1));
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(ThreadEnds(scheduler));

    // Sound i went to file i + 1 of the twenty, which holds exactly the
    // samples played, after the 44-byte header, until a later sound takes
    // its name.
    const auto sounds = player.Sounds();
    for (std::size_t i = sounds.size() >= 20 ? sounds.size() - 20 : 0; i < sounds.size(); ++i) {
        std::ifstream file(TransmissionFileName(static_cast<std::int64_t>(i) + 1), std::ios::binary);
        const std::vector<std::uint8_t> contents{std::istreambuf_iterator<char>(file), {}};
        ASSERT_EQ(contents.size(), 44 + sounds[i].samples.size()) << i;
        ASSERT_TRUE(std::equal(sounds[i].samples.begin(), sounds[i].samples.end(), contents.begin() + 44)) << i;
        EXPECT_EQ(sounds[i].sampleRate, 22050);
    }
    // Every transmission is an all-black picture, as no picture was ever
    // handed off: 156,196 samples at 4 samples per bit.
    EXPECT_EQ(sounds[0].samples.size(), 156196u);
    for (const auto& rows : Received(sounds)) ASSERT_TRUE(IsFilled(rows, 0));
}

TEST_F(TransmitSchedulerTest, EachCycleSendsTheLatestHandOffUntilAnotherArrives)
{
    TransmitScheduler scheduler(samplesPerBit, port, ui, player, 0ms);
    player.Hold(true);
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(player.WaitForStarts(1));
    for (std::uint8_t value : {10, 20, 30}) scheduler.HandOffPicture(nullptr, Filled(value));
    player.Hold(false);
    ASSERT_TRUE(player.WaitForStarts(3));
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(ThreadEnds(scheduler));

    const auto pictures = Received(player.Sounds());
    EXPECT_TRUE(IsFilled(pictures[0], 0));
    EXPECT_TRUE(IsFilled(pictures[1], 30));
    EXPECT_TRUE(IsFilled(pictures[2], 30));
}

TEST_F(TransmitSchedulerTest, HandOffsNeverTouchThePictureBeingEncoded)
{
    TransmitScheduler scheduler(samplesPerBit, port, ui, player, 0ms);
    scheduler.ToggleSendNbtv();
    std::atomic<bool> done{false};
    std::thread capture([&] {
        for (std::uint8_t value = 0; !done; value = static_cast<std::uint8_t>(value % 250 + 1))
            scheduler.HandOffPicture(nullptr, Filled(value));
    });
    const bool played = player.WaitForStarts(6);
    done = true;
    capture.join();
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(played);
    ASSERT_TRUE(ThreadEnds(scheduler));
    // A torn picture would mix two fill values.
    for (const auto& rows : Received(player.Sounds())) ASSERT_TRUE(IsFilled(rows, rows[0][0]));
}

TEST_F(TransmitSchedulerTest, KeyingFollowsTransmitting)
{
    ports.present = {"COM1:"};
    TransmitScheduler scheduler(samplesPerBit, port, ui, player, 0ms);
    scheduler.SelectPort(1);

    player.Hold(true);
    scheduler.ToggleSendNbtv();
    EXPECT_EQ(scheduler.transmitting, 1);
    // Both lines low right after opening, then RTS before DTR.
    EXPECT_EQ(ports.log, (std::vector<std::string>{"open COM1:", "flow off", "clear", "rts 0", "dtr 0", "rts 1",
                                                   "dtr 1"}));

    // Off while a sound plays: the lines drop and the port closes at once;
    // the sound plays to its end and no other file is written.
    ASSERT_TRUE(player.WaitForStarts(1));
    scheduler.ToggleSendNbtv();
    EXPECT_EQ(std::vector<std::string>(ports.log.begin() + 7, ports.log.end()),
              (std::vector<std::string>{"rts 0", "dtr 0", "close"}));
    EXPECT_TRUE(scheduler.ThreadActive());
    player.Hold(false);
    ASSERT_TRUE(ThreadEnds(scheduler));
    EXPECT_EQ(player.Sounds().size(), 1u);
    EXPECT_FALSE(fs::exists("nbtv02.wav"));
}

TEST_F(TransmitSchedulerTest, WithoutAPortTransmittingRunsUnkeyed)
{
    TransmitScheduler scheduler(samplesPerBit, port, ui, player, 0ms);
    // "none": nothing is opened.
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(player.WaitForStarts(1));
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(ThreadEnds(scheduler));
    EXPECT_TRUE(ports.log.empty());

    // An absent "COM2": one attempt, no keying, files still played.
    scheduler.SelectPort(2);
    const std::size_t before = player.Sounds().size();
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(player.WaitForStarts(before + 1));
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(ThreadEnds(scheduler));
    EXPECT_EQ(ports.log, std::vector<std::string>{"open COM2:"});
    EXPECT_FALSE(port.IsOpen());
}

// With no sound output the radio must not stay keyed, and the files must
// not turn over faster than the transmissions could be sent.
TEST_F(TransmitSchedulerTest, WithoutSoundTheRadioIsUnkeyedAndACycleStillTakesItsTransmissionsTime)
{
    ports.present = {"COM1:"};
    TransmitScheduler scheduler(samplesPerBit, port, ui, player, 0ms);
    scheduler.SelectPort(1);
    player.SetOutputGone(true);
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(player.WaitForStarts(1));
    for (int i = 0; i < 1000 && !scheduler.SoundOutputLost(); ++i) std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(scheduler.SoundOutputLost());
    const std::size_t keyed = ports.log.size();
    scheduler.UpdateKeying();
    EXPECT_EQ(std::vector<std::string>(ports.log.begin() + keyed, ports.log.end()),
              (std::vector<std::string>{"rts 0", "dtr 0"}));

    // The transmission lasts 7 s; well within it, no second one has begun.
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(player.Sounds().size(), 1u);
    // Turning off cuts the wait short.
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(ThreadEnds(scheduler));
    scheduler.UpdateKeying();
    EXPECT_EQ(ports.log.back(), "close");
}

TEST_F(TransmitSchedulerTest, QuickOffAndOnKeepsOneThreadWhichCarriesOn)
{
    TransmitScheduler scheduler(samplesPerBit, port, ui, player, 0ms);
    player.Hold(true);
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(player.WaitForStarts(1));
    scheduler.ToggleSendNbtv();
    scheduler.ToggleSendNbtv();
    player.Hold(false);
    ASSERT_TRUE(player.WaitForStarts(3));
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(ThreadEnds(scheduler));
    EXPECT_EQ(player.MostAtOnce(), 1);
}

TEST_F(TransmitSchedulerTest, AWavFailureHoldsTheCycleUntilTheBoxIsDismissed)
{
    fs::create_directory("nbtv01.wav");  // cannot be opened as a file
    WindowHandle owner{1};
    TransmitScheduler scheduler(samplesPerBit, port, ui, player, 0ms);
    scheduler.HandOffPicture(owner, Filled(1));
    ui.HoldBoxesOpen(true);
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(ui.WaitForBox());
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(player.Sounds().empty());
    const auto box = ui.Boxes().at(0);
    EXPECT_EQ(box.text, "CANTOPENFILE");
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.owner, owner);

    // The transmission goes out all the same.
    ui.DismissBox();
    ASSERT_TRUE(player.WaitForStarts(1));
    EXPECT_TRUE(IsFilled(Received(player.Sounds())[0], 1));
    ui.HoldBoxesOpen(false);
    scheduler.ToggleSendNbtv();
    ASSERT_TRUE(ThreadEnds(scheduler));
}

TEST_F(TransmitSchedulerTest, EndingWhileASoundPlaysNeitherHangsNorCrashes)
{
    {
        TransmitScheduler scheduler(samplesPerBit, port, ui, player, 1000ms);
        player.Hold(true);
        scheduler.ToggleSendNbtv();
        ASSERT_TRUE(player.WaitForStarts(1));
    }
    EXPECT_EQ(player.Finished(), 1u);
}

}  // namespace
