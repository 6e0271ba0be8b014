// A thousand transmit cycles back to back through the real scheduler and
// WAV writer, with no pause: nothing may accumulate from cycle to cycle.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "fakes/fake_serial.hpp"
#include "fakes/fake_ui.hpp"
#include "rx/receive_chain.hpp"
#include "soak/process_figures.hpp"
#include "support/recorded_rows.hpp"
#include "support/working_directory.hpp"
#include "ptt_port.hpp"
#include "transmit_scheduler.hpp"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr std::size_t kCycles = 1000;

// The little-endian 32-bit value at header[at].
std::uint32_t U32(const std::array<std::uint8_t, 44>& header, std::size_t at)
{
    return header[at] | header[at + 1] << 8 | header[at + 2] << 16 | static_cast<std::uint32_t>(header[at + 3]) << 24;
}

// A whole 8-bit mono file as the writer lays it out: the sizes in the
// header agree with each other and with the file's length.
bool IsCompleteWav(const std::string& name)
{
    std::error_code ec;
    const auto size = fs::file_size(name, ec);
    if (ec || size < 44) return false;
    std::array<std::uint8_t, 44> header{};
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (file == nullptr) return false;
    const bool read = std::fread(header.data(), 1, header.size(), file) == header.size();
    std::fclose(file);
    const auto tag = [&](std::size_t at, const char* id) { return std::equal(id, id + 4, header.begin() + at); };
    const std::uint32_t data = U32(header, 40);
    return read && tag(0, "RIFF") && U32(header, 4) == size - 8 && tag(8, "WAVE") && tag(12, "fmt ") &&
           U32(header, 16) == 16 && tag(36, "data") && data > 0 && 44 + data + data % 2 == size;
}

// Checks, as each sound plays, that the next file in turn has just been
// written whole with that sound, and keeps only a count, so that the player
// itself holds no more after a thousand cycles than after one. At the last
// cycle it measures and holds until released, so exactly that many cycles
// run.
class CheckingPlayer : public SoundPlayer {
public:
    explicit CheckingPlayer(std::size_t last) : last_(last) {}

    bool PlaySync(std::span<const std::uint8_t> samples, int) override
    {
        std::unique_lock lock(mutex_);
        if (played_ == last_) return true;  // never once the count is reached
        ++played_;
        const std::string name = TransmissionFileName(static_cast<std::int64_t>(played_));
        std::error_code ec;
        if (!IsCompleteWav(name) || fs::file_size(name, ec) != 44 + samples.size()) ++incomplete_;
        const long resident = soak::ResidentKb();
        if (played_ == 1) {
            residentFirstKb = resident;
            first = std::chrono::steady_clock::now();
        }
        if (played_ < last_) return true;
        residentLastKb = resident;
        end = std::chrono::steady_clock::now();
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_ || shutDown_; });
        return true;
    }
    void Shutdown() override
    {
        std::lock_guard lock(mutex_);
        shutDown_ = true;
        changed_.notify_all();
    }

    // Up to timeout for the last cycle to start playing.
    bool WaitForLast(std::chrono::seconds timeout)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [this] { return played_ == last_; });
    }
    void Release()
    {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    std::size_t Played()
    {
        std::lock_guard lock(mutex_);
        return played_;
    }
    std::size_t Incomplete()
    {
        std::lock_guard lock(mutex_);
        return incomplete_;
    }

    long residentFirstKb = -1;
    long residentLastKb = -1;
    std::chrono::steady_clock::time_point first, end;

private:
    const std::size_t last_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t played_ = 0;
    std::size_t incomplete_ = 0;
    bool released_ = false;
    bool shutDown_ = false;
};

Picture Filled(std::uint8_t value)
{
    Picture picture;
    for (PictureLine& line : picture) line.fill(value);
    return picture;
}

class TransmitSoak : public ::testing::Test {
protected:
    TemporaryWorkingDirectory directory{"telvane-soak"};
};

TEST_F(TransmitSoak, AThousandCyclesLeaveTwentyWholeFilesAndNoGrowth)
{
    SamplesPerBit samplesPerBit{4};
    FakeSerialPorts ports;
    FakeUi ui;
    PttPort port{ports};
    CheckingPlayer player(kCycles);

    const long descriptorsBefore = soak::OpenDescriptors();
    {
        TransmitScheduler scheduler(samplesPerBit, port, ui, player, 0ms);
        // Pictures arrive all the while, as from the camera; each is one
        // value throughout, so a torn one would show.
        std::atomic<bool> done{false};
        std::thread capture([&] {
            for (std::uint8_t value = 1; !done; value = static_cast<std::uint8_t>(value % 250 + 1)) {
                scheduler.HandOffPicture(nullptr, Filled(value));
                std::this_thread::sleep_for(1ms);
            }
        });
        scheduler.ToggleSendNbtv();
        const bool reached = player.WaitForLast(120s);
        done = true;
        capture.join();
        scheduler.ToggleSendNbtv();
        player.Release();
        ASSERT_TRUE(reached) << player.Played() << " cycles ran";
        for (int i = 0; i < 1000 && scheduler.ThreadActive(); ++i) std::this_thread::sleep_for(10ms);
        ASSERT_FALSE(scheduler.ThreadActive());
    }
    const long descriptorsAfter = soak::OpenDescriptors();

    const double seconds = std::chrono::duration<double>(player.end - player.first).count();
    const double cyclesPerSecond = seconds > 0 ? (kCycles - 1) / seconds : 0.0;
    std::printf("[soak] transmit: %zu cycles, %.1f cycles/s, resident %ld kB after cycle 1, %ld kB after cycle %zu, "
                "descriptors %ld before, %ld after\n",
                kCycles, cyclesPerSecond, player.residentFirstKb, player.residentLastKb, kCycles, descriptorsBefore,
                descriptorsAfter);
    RecordProperty("cycles_per_second", static_cast<int>(cyclesPerSecond));
    RecordProperty("resident_first_kb", static_cast<int>(player.residentFirstKb));
    RecordProperty("resident_last_kb", static_cast<int>(player.residentLastKb));

    ASSERT_GT(player.residentFirstKb, 0);
    if (soak::kResidentMeasured) {
        EXPECT_LE(player.residentLastKb - player.residentFirstKb, soak::kResidentMarginKb);
    }
    ASSERT_GT(descriptorsBefore, 0);
    EXPECT_EQ(descriptorsAfter, descriptorsBefore);
    EXPECT_TRUE(ui.Boxes().empty());

    // Every cycle played the sound of the whole file it had just written,
    // the next name in turn from nbtv01 round through nbtv00.
    EXPECT_EQ(player.Incomplete(), 0u);
    ASSERT_EQ(player.Played(), kCycles);

    // Just the twenty names remain, each a whole transmission of one
    // handed-off picture.
    std::set<std::string> present;
    for (const auto& entry : fs::directory_iterator(directory.Path())) present.insert(entry.path().filename().string());
    std::set<std::string> expected;
    for (int n = 0; n < 20; ++n) expected.insert(TransmissionFileName(n));
    EXPECT_EQ(present, expected);
    for (const std::string& name : expected) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(IsCompleteWav(name));
        const auto rows = RowsOfTransmissionFile(name);
        const std::uint8_t value = rows[0][0];
        EXPECT_NE(value, 0) << "no handed-off picture";
        for (const PictureLine& row : rows)
            ASSERT_TRUE(std::all_of(row.begin(), row.end(), [&](std::uint8_t v) { return v == value; }));
    }
}

}  // namespace
