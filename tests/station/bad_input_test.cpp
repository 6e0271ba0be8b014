// The transmitter where its WAV files cannot be written: a directory that
// takes no new files, and a full disk. Every cycle shows its box and the
// thread carries on, and stopping still ends it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "fakes/fake_serial.hpp"
#include "fakes/fake_sound_player.hpp"
#include "fakes/fake_ui.hpp"
#include "support/working_directory.hpp"
#include "ptt_port.hpp"
#include "transmit_scheduler.hpp"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// More cycles than there are file names, so the rotation wraps.
constexpr std::size_t kCycles = 25;

bool CanCreateFileIn(const fs::path& directory)
{
    const fs::path probe = directory / "telvane-probe";
    std::FILE* file = std::fopen(probe.c_str(), "wb");
    if (file == nullptr) return false;
    std::fclose(file);
    fs::remove(probe);
    return true;
}

class UnwritableWavTest : public ::testing::Test {
protected:
    // The tests move into the directory (or elsewhere); back before it goes.
    void TearDown() override { fs::current_path(previous_); }

    // Runs the scheduler in the current directory until kCycles sounds have
    // started, then stops it; every cycle must have shown one box with
    // text and still played its transmission.
    void ExpectEveryCycleShows(const char* text)
    {
        WindowHandle owner{1};
        {
            TransmitScheduler scheduler(samplesPerBit, port, ui, player, 0ms);
            scheduler.HandOffPicture(owner, Picture{});
            scheduler.ToggleSendNbtv();
            const bool cycled = player.WaitForStarts(kCycles);
            scheduler.ToggleSendNbtv();
            ASSERT_TRUE(cycled) << player.Sounds().size() << " cycles";
            for (int i = 0; i < 1000 && scheduler.ThreadActive(); ++i) std::this_thread::sleep_for(10ms);
            ASSERT_FALSE(scheduler.ThreadActive()) << "the thread did not end";
        }
        const auto sounds = player.Sounds();
        const auto boxes = ui.Boxes();
        // A box comes before its cycle's sound, so there is one per sound.
        ASSERT_EQ(boxes.size(), sounds.size());
        for (std::size_t i = 0; i < sounds.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(boxes[i].text, text);
            EXPECT_EQ(boxes[i].caption, "Error");
            EXPECT_EQ(boxes[i].owner, owner);
            EXPECT_FALSE(sounds[i].samples.empty());
        }
    }

    SamplesPerBit samplesPerBit{4};
    FakeSerialPorts ports;
    FakeUi ui;
    FakeSoundPlayer player;
    PttPort port{ports};
    TemporaryDirectory directory_{"telvane-bad"};
    const fs::path dir_ = directory_.Path();
    const fs::path previous_ = fs::current_path();
};

TEST_F(UnwritableWavTest, ADirectoryThatTakesNoFilesGivesCantOpenFileEachCycle)
{
    // Permissions do not stop root; there the directory is /proc, where
    // nobody can create files.
    fs::path directory = dir_;
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    if (CanCreateFileIn(dir_)) directory = "/proc";
    if (CanCreateFileIn(directory)) GTEST_SKIP() << "no directory here refuses new files";
    fs::current_path(directory);

    ExpectEveryCycleShows("CANTOPENFILE");
    for (std::size_t n = 0; n < 20; ++n) EXPECT_FALSE(fs::exists(TransmissionFileName(n))) << TransmissionFileName(n);
}

TEST_F(UnwritableWavTest, AFullDiskGivesCantWriteDataEachCycle)
{
    // Each name a link to /dev/full: it opens, and every write fails with
    // "no space left on device".
    for (std::size_t n = 0; n < 20; ++n) fs::create_symlink("/dev/full", dir_ / TransmissionFileName(n));
    fs::current_path(dir_);

    ExpectEveryCycleShows("CANTWRITEDATA");
}

}  // namespace
