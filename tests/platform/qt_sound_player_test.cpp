// Playback through a real sound server: the loopback's source records what
// the player sends to the default output.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "qt_sound_player.hpp"

extern std::string loopbackProblem;  // test_main.cpp

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr int rate = 22050;

// Unsigned 8-bit mono samples of a sine.
std::vector<std::uint8_t> Tone(double hz, int count)
{
    std::vector<std::uint8_t> samples(count);
    for (int i = 0; i < count; ++i)
        samples[i] = static_cast<std::uint8_t>(128 + std::lround(100 * std::sin(2 * std::numbers::pi * hz * i / rate)));
    return samples;
}

// A file as the transmitter writes it.
// Mean amplitude of one frequency over samples[first, last), measured in
// blocks of 40 ms (Goertzel) so that separate bursts do not cancel out.
double Level(const std::vector<std::uint8_t>& samples, std::size_t first, std::size_t last, double hz)
{
    constexpr std::size_t block = rate / 25;
    const double c = 2 * std::cos(2 * std::numbers::pi * hz / rate);
    double sum = 0;
    std::size_t blocks = 0;
    for (std::size_t start = first; start + block <= last; start += block, ++blocks) {
        double s1 = 0, s2 = 0;
        for (std::size_t i = start; i < start + block; ++i) {
            const double s0 = (samples[i] - 128.0) + c * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        sum += 2 * std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2)) / block;
    }
    return blocks ? sum / static_cast<double>(blocks) : 0;
}

// One recorder for all the tests: the remapped source takes about two
// seconds to deliver its first samples to a new recorder.
class Recorder {
public:
    // Records the loopback source, as 8-bit mono at 22050 Hz, into file;
    // false when no samples arrive.
    bool Start(const fs::path& file)
    {
        file_ = file;
        pid_ = fork();
        if (pid_ == 0) {
            execlp("parec", "parec", "--format=u8", "--rate=22050", "--channels=1", "--latency-msec=20", "-d",
                   "telvane_loop", file.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        if (pid_ < 0) return false;
        const auto giveUp = Clock::now() + std::chrono::seconds(5);
        while (Size() == 0 && Clock::now() < giveUp) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return Size() > 0;
    }

    void Stop()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = 0;
    }

    // Bytes recorded so far.
    std::uintmax_t Size() const
    {
        std::error_code error;
        const auto size = fs::file_size(file_, error);
        return error ? 0 : size;
    }

    // What was recorded from offset on, once a further quarter second has
    // arrived: by then the recording holds everything played until now.
    std::vector<std::uint8_t> Since(std::uintmax_t offset) const
    {
        const auto enough = Size() + rate / 4;
        const auto giveUp = Clock::now() + std::chrono::seconds(5);
        while (Size() < enough && Clock::now() < giveUp) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(file_, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(offset));
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    fs::path file_;
    pid_t pid_ = 0;
};

class QtSoundPlayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!loopbackProblem.empty()) return;
        fs::create_directories(dir_);
        if (!recorder_.Start(dir_ / "recording.u8")) recorderProblem_ = "parec recorded nothing from telvane_loop";
    }

    static void TearDownTestSuite()
    {
        recorder_.Stop();
        fs::remove_all(dir_);
    }

    void SetUp() override
    {
        if (!loopbackProblem.empty()) GTEST_SKIP() << "no sound loopback: " << loopbackProblem;
        ASSERT_TRUE(recorderProblem_.empty()) << recorderProblem_;
        recordedBefore_ = recorder_.Size();
    }

    // What the loopback has recorded since the test began.
    std::vector<std::uint8_t> Recorded() const { return recorder_.Since(recordedBefore_); }

    // Plays the samples on a thread of its own, as the transmitter does, and
    // returns how long the call took in seconds.
    double PlayOnThread(const std::vector<std::uint8_t>& samples, int sampleRate = rate)
    {
        double seconds = 0;
        std::thread thread([&] {
            const auto start = Clock::now();
            player_.PlaySync(samples, sampleRate);
            seconds = std::chrono::duration<double>(Clock::now() - start).count();
        });
        thread.join();
        return seconds;
    }

    // First and one past the last sample clearly off the silent level 128.
    static std::pair<std::size_t, std::size_t> Sounding(const std::vector<std::uint8_t>& samples)
    {
        std::size_t first = samples.size(), last = 0;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            if (std::abs(samples[i] - 128) > 40) {
                first = std::min(first, i);
                last = i + 1;
            }
        }
        return {first, std::max(first, last)};
    }

    static inline fs::path dir_ = fs::temp_directory_path() / ("telvane-sound-" + std::to_string(getpid()));
    static inline Recorder recorder_;
    static inline std::string recorderProblem_;
    std::uintmax_t recordedBefore_ = 0;
    QtSoundPlayer player_;
};

TEST_F(QtSoundPlayerTest, PlaysTheWholeSoundAndReturnsOnlyWhenItHasEnded)
{
    const double seconds = PlayOnThread(Tone(1000, rate));  // 1 s
    const auto recorded = Recorded();

    EXPECT_GE(seconds, 0.95);
    const auto [first, last] = Sounding(recorded);
    ASSERT_LT(first, last) << "nothing was heard";
    // All of the second: stopping the output early cuts off its end.
    const double heard = static_cast<double>(last - first) / rate;
    EXPECT_GE(heard, 0.995);
    EXPECT_LT(heard, 1.05);
    EXPECT_GT(Level(recorded, first, last, 1000), 10 * Level(recorded, first, last, 880));
}

TEST_F(QtSoundPlayerTest, NoSamplesOrNoRateGiveTheShortAlert)
{
    PlayOnThread({});
    PlayOnThread(Tone(1000, rate), 0);
    const auto recorded = Recorded();

    // Two bursts of 880 Hz of about 150 ms each. A sine is beyond the
    // threshold of Sounding about 70 % of the time.
    const auto [first, last] = Sounding(recorded);
    ASSERT_LT(first, last) << "no alert was heard";
    EXPECT_GT(Level(recorded, first, last, 880), 5 * Level(recorded, first, last, 1000));
    std::size_t loud = 0;
    for (std::size_t i = first; i < last; ++i) loud += std::abs(recorded[i] - 128) > 40;
    EXPECT_NEAR(loud / (0.7 * rate), 0.3, 0.1) << loud << " loud samples";
}

TEST_F(QtSoundPlayerTest, ShutdownCutsTheSoundShortAndSilencesLaterCalls)
{
    const auto tone = Tone(1000, rate);
    std::thread playing([&] { player_.PlaySync(tone, rate); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    player_.Shutdown();
    playing.join();
    PlayOnThread(tone);
    const auto recorded = Recorded();

    const auto [first, last] = Sounding(recorded);
    ASSERT_LT(first, last) << "the sound never started";
    EXPECT_LT(static_cast<double>(last - first) / rate, 0.7);
}

}  // namespace
