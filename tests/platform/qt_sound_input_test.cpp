// Live reception through a real sound server: a transmission played into
// the loopback is recorded by QtSoundInput, polled every 200 ms as the timer
// does, and decoded.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

#include "qt_sound_input.hpp"
#include "qt_sound_player.hpp"
#include "audio_capture.hpp"
#include "rx/receive_chain.hpp"
#include "tx/transmit_chain.hpp"
#include "support/line_recorder.hpp"

extern std::string loopbackProblem;  // test_main.cpp

namespace {

namespace fs = std::filesystem;

// Rows 0 to 58 of picture, one after another somewhere among lines.
bool Contains(const std::vector<PictureLine>& lines, const Picture& picture)
{
    for (std::size_t first = 0; first + kPictureHeight - 1 <= lines.size(); ++first) {
        int row = 0;
        while (row < kPictureHeight - 1 && lines[first + row] == picture[row]) ++row;
        if (row == kPictureHeight - 1) return true;
    }
    return false;
}

TEST(QtSoundInput, RecordsATransmissionFromTheLoopbackForTheReceiver)
{
    if (!loopbackProblem.empty()) GTEST_SKIP() << loopbackProblem;

    std::mt19937 random(2024);
    Picture sent{};
    for (PictureLine& line : sent)
        for (std::uint8_t& value : line) value = static_cast<std::uint8_t>(random() % 255);
    SamplesPerBit samplesPerBit{4};
    TransmitChain tx(samplesPerBit);
    std::vector<std::uint8_t> samples(kMaxTransmissionSamples);
    samples.resize(EncodeTransmission(tx, sent, samples.data()));

    QtSoundInput input;
    LineRecorder lines;
    ReceiveChain<LineRecorder> chain(lines);
    AudioCapture<ReceiveChain<LineRecorder>> capture(input, samplesPerBit, chain);
    ASSERT_EQ(capture.StartAudioCapture(), 0);

    // Poll every 200 ms; play once the source has begun to deliver (it may
    // take a couple of seconds), and go on until the sound has come back.
    QtSoundPlayer player;
    std::thread playing;
    std::atomic<bool> played{false};
    QEventLoop loop;
    QTimer timer;
    QElapsedTimer clock;
    clock.start();
    qint64 playedAt = -1;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        capture.PollAudioCapture();
        if (!playing.joinable() && clock.elapsed() > 2500) {
            playing = std::thread([&] {
                player.PlaySync(samples, kSampleRate);
                played = true;
            });
        }
        if (played && playedAt < 0) playedAt = clock.elapsed();
        if ((playedAt >= 0 && clock.elapsed() > playedAt + 3000) || clock.elapsed() > 30000) loop.quit();
    });
    timer.start(200);
    loop.exec();
    if (playing.joinable()) playing.join();
    capture.StopAudioCapture();

    EXPECT_TRUE(played);
    EXPECT_TRUE(Contains(lines.lines, sent)) << lines.lines.size() << " lines received";
}

}  // namespace
