// RIFF WAVE layout of a transmission, written whole or in steps, and the
// failures returned.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "tx/wav_writer.hpp"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class WavWriterTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir_); }
    void TearDown() override { fs::remove_all(dir_); }

    std::string PathOf(const char* name) const { return (dir_ / name).string(); }

    // Writes n samples of a ramp to name and returns the result.
    WavResult Write(const std::string& path, std::size_t n, std::uint32_t rate = 22050)
    {
        samples_.resize(n);
        for (std::size_t i = 0; i < n; ++i) samples_[i] = static_cast<std::uint8_t>(68 + i % 121);
        return writer_.WriteWavFile(path.c_str(), samples_, rate);
    }

    fs::path dir_ = fs::temp_directory_path() / ("telvane-wav-" + std::to_string(std::random_device{}()));
    Bytes samples_;
    WavWriter writer_;
};

Bytes Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t Le(const Bytes& b, std::size_t at, int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | b[at + i];
    return value;
}

std::string Id(const Bytes& b, std::size_t at) { return std::string(b.begin() + at, b.begin() + at + 4); }

}  // namespace

// Every header field, the samples unchanged, a zero pad byte after an odd
// count; the last case is the longest transmission at 4 samples per bit.
TEST_F(WavWriterTest, Layout)
{
    const std::pair<std::size_t, std::uint32_t> cases[] = {{0, 22050}, {1, 22050}, {117147, 11025}, {183076, 22050}};
    const std::string path = PathOf("nbtv01.wav");
    for (auto [n, rate] : cases) {
        ASSERT_EQ(Write(path, n, rate), WavResult::Written);
        const Bytes file = Read(path);
        const std::size_t pad = n % 2;
        ASSERT_EQ(file.size(), 44 + n + pad) << n;
        EXPECT_EQ(Id(file, 0), "RIFF");
        EXPECT_EQ(Le(file, 4, 4), 36 + n + pad);
        EXPECT_EQ(Id(file, 8), "WAVE");
        EXPECT_EQ(Id(file, 12), "fmt ");
        EXPECT_EQ(Le(file, 16, 4), 16u);
        EXPECT_EQ(Le(file, 20, 2), 1u);  // PCM
        EXPECT_EQ(Le(file, 22, 2), 1u);  // mono
        EXPECT_EQ(Le(file, 24, 4), rate);
        EXPECT_EQ(Le(file, 28, 4), rate);  // one byte per sample
        EXPECT_EQ(Le(file, 32, 2), 1u);
        EXPECT_EQ(Le(file, 34, 2), 8u);
        EXPECT_EQ(Id(file, 36), "data");
        EXPECT_EQ(Le(file, 40, 4), n);
        EXPECT_TRUE(std::equal(samples_.begin(), samples_.end(), file.begin() + 44));
        if (pad != 0) {
            EXPECT_EQ(file.back(), 0);  // no sample of the ramp is 0
        }
    }
    EXPECT_EQ(fs::file_size(path), 183120u);
    EXPECT_EQ(Le(Read(path), 4, 4), 183112u);
}

// Samples appended in uneven steps, an empty one among them, give the same
// bytes as one write.
TEST_F(WavWriterTest, AppendingInStepsWritesTheSameFile)
{
    for (std::size_t n : {0u, 7u, 183076u}) {
        SCOPED_TRACE(n);
        ASSERT_EQ(Write(PathOf("whole.wav"), n), WavResult::Written);
        WavWriter stream;
        ASSERT_EQ(stream.Open(PathOf("steps.wav").c_str(), 22050), WavResult::Written);
        const std::span<const std::uint8_t> all(samples_);
        for (std::size_t at = 0, step = 1; at < n; at += step, step = step * 7 + 3) {
            ASSERT_EQ(stream.Append(all.subspan(at, std::min(step, n - at))), WavResult::Written);
            ASSERT_EQ(stream.Append({}), WavResult::Written);
        }
        ASSERT_EQ(stream.Finish(), WavResult::Written);
        EXPECT_EQ(Read(PathOf("steps.wav")), Read(PathOf("whole.wav")));
    }
}

TEST_F(WavWriterTest, OverwritingLongerFileLeavesNoTail)
{
    const std::string path = PathOf("nbtv02.wav");
    ASSERT_EQ(Write(path, 5000), WavResult::Written);
    ASSERT_EQ(Write(path, 3), WavResult::Written);
    EXPECT_EQ(Read(path).size(), 48u);
}

TEST_F(WavWriterTest, MissingDirectoryCannotOpen)
{
    const std::string path = PathOf("absent/nbtv03.wav");
    EXPECT_EQ(Write(path, 10), WavResult::CannotOpen);
    EXPECT_EQ(writer_.SystemError(), ENOENT);
    EXPECT_FALSE(fs::exists(path));
}

// A full disk may only show when buffered bytes are flushed; a small file
// that fits the buffer must still be reported, not returned as success.
TEST_F(WavWriterTest, FullDiskIsReported)
{
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    for (std::size_t n : {100u, 183076u}) {
        EXPECT_EQ(Write("/dev/full", n), WavResult::CannotWriteData) << n;
        EXPECT_EQ(writer_.SystemError(), ENOSPC) << n;
    }
}
