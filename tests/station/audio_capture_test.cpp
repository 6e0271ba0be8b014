// Polling the capture ring into the receiver, and the "RX" toggle.

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "fakes/fake_sound_input.hpp"
#include "audio_capture.hpp"
#include "rx/picture_view.hpp"
#include "rx/switched_receiver.hpp"
#include "tx/transmit_chain.hpp"

namespace {

// Logs settings and samples in the order they arrive.
struct RecordingReceiver {
    void SetSamplesPerBit(std::int32_t value) { settings.push_back({value, samples.size()}); }
    void Receive(std::span<const std::uint8_t> more) { samples.insert(samples.end(), more.begin(), more.end()); }

    struct Setting {
        std::int32_t samplesPerBit;
        std::size_t beforeSample;  // samples received before it
    };
    std::vector<Setting> settings;
    std::vector<std::uint8_t> samples;
};

std::vector<std::uint8_t> Ramp(std::size_t count, std::uint8_t first = 0)
{
    std::vector<std::uint8_t> samples(count);
    std::iota(samples.begin(), samples.end(), first);
    return samples;
}

class AudioCaptureTest : public ::testing::Test {
protected:
    SamplesPerBit samplesPerBit{4};
    FakeSoundInput input;
    RecordingReceiver receiver;
    AudioCapture<RecordingReceiver> capture{input, samplesPerBit, receiver};
};

TEST_F(AudioCaptureTest, PollsHandOnEverySampleOnceInRecordingOrder)
{
    ASSERT_EQ(capture.StartAudioCapture(), 0);
    capture.PollAudioCapture();
    EXPECT_TRUE(receiver.samples.empty());

    // Up to just short of the end, then across the wrap: tail first, then head.
    const std::vector<std::uint8_t> before = Ramp(kCaptureRingSize - 100);
    const std::vector<std::uint8_t> across = Ramp(4410, 7);
    input.Record(before);
    capture.PollAudioCapture();
    input.Record(across);
    capture.PollAudioCapture();
    std::vector<std::uint8_t> expected = before;
    expected.insert(expected.end(), across.begin(), across.end());
    EXPECT_EQ(receiver.samples, expected);
    EXPECT_EQ(capture.lastReadOffset, 4410u - 100u);
}

TEST_F(AudioCaptureTest, APollMoreThanARingLateKeepsOnlyTheRemainder)
{
    ASSERT_EQ(capture.StartAudioCapture(), 0);
    input.Record(Ramp(1000));
    capture.PollAudioCapture();
    receiver.samples.clear();
    const std::vector<std::uint8_t> late = Ramp(kCaptureRingSize + 300, 3);
    input.Record(late);
    capture.PollAudioCapture();
    // 300 samples from the old offset on, which by now hold the newest ones.
    ASSERT_EQ(receiver.samples.size(), 300u);
    EXPECT_TRUE(std::equal(receiver.samples.begin(), receiver.samples.end(), late.end() - 300));
}

TEST_F(AudioCaptureTest, FailedPositionOrRangeLosesNothing)
{
    ASSERT_EQ(capture.StartAudioCapture(), 0);
    const std::vector<std::uint8_t> first = Ramp(500), second = Ramp(700, 50);
    input.Record(first);
    input.failPosition = true;
    capture.PollAudioCapture();
    input.failPosition = false;
    input.failRegions = true;
    input.Record(second);
    capture.PollAudioCapture();
    EXPECT_TRUE(receiver.samples.empty());
    EXPECT_EQ(capture.lastReadOffset, 0u);
    // Every poll, failed or not, set the bit rate first.
    EXPECT_EQ(receiver.settings.size(), 2u);

    input.failRegions = false;
    capture.PollAudioCapture();
    std::vector<std::uint8_t> expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(receiver.samples, expected);
}

TEST_F(AudioCaptureTest, ABitRateChangeArrivesBeforeTheNextPollsFirstSample)
{
    ASSERT_EQ(capture.StartAudioCapture(), 0);
    input.Record(Ramp(10));
    capture.PollAudioCapture();
    samplesPerBit = 3;
    input.Record(Ramp(10));
    capture.PollAudioCapture();
    ASSERT_EQ(receiver.settings.size(), 2u);
    EXPECT_EQ(receiver.settings[0].samplesPerBit, 4);
    EXPECT_EQ(receiver.settings[1].samplesPerBit, 3);
    EXPECT_EQ(receiver.settings[1].beforeSample, 10u);
}

TEST_F(AudioCaptureTest, RxToggleWithoutADevice)
{
    input.devicepresent = false;
    capture.receiverNotRunning = capture.StartAudioCapture();
    EXPECT_EQ(capture.receiverNotRunning, 1);

    // The first "RX" only turns receiving off; nothing is stopped.
    capture.ToggleReceive();
    EXPECT_EQ(capture.receiveWanted, 0);
    EXPECT_EQ(input.stops, 0);

    // The second tries again and fails again.
    capture.ToggleReceive();
    EXPECT_EQ(capture.receiveWanted, 1);
    EXPECT_EQ(capture.receiverNotRunning, 1);
    EXPECT_EQ(input.starts, 2);
    EXPECT_TRUE(capture.InputLost());
}

TEST_F(AudioCaptureTest, RxToggleStopsAndRestartsFromOffsetZero)
{
    capture.receiverNotRunning = capture.StartAudioCapture();
    input.Record(Ramp(123));
    capture.PollAudioCapture();
    capture.ToggleReceive();
    EXPECT_EQ(input.stops, 1);
    EXPECT_EQ(capture.receiverNotRunning, 1);
    capture.ToggleReceive();
    EXPECT_EQ(capture.receiverNotRunning, 0);
    EXPECT_EQ(capture.lastReadOffset, 0u);
}

TEST(AudioCaptureChain, PollsOfATransmissionDeliverItsRows)
{
    SamplesPerBit samplesPerBit{3};
    TransmitChain tx(samplesPerBit);
    Picture sent{};
    for (int y = 0; y < kPictureHeight; ++y)
        for (int x = 0; x < kPictureWidth; ++x) sent[y][x] = static_cast<std::uint8_t>((y * 4 + x) % 255);  // no 255
    std::vector<std::uint8_t> samples(kMaxTransmissionSamples);
    samples.resize(EncodeTransmission(tx, sent, samples.data()));

    PictureView view;
    SwitchedReceiver<PictureView> chain(view);
    FakeSoundInput input;
    AudioCapture<SwitchedReceiver<PictureView>> capture(input, samplesPerBit, chain);
    ASSERT_EQ(capture.StartAudioCapture(), 0);
    for (std::size_t at = 0; at < samples.size(); at += 4410) {
        input.Record(std::span(samples).subspan(at, std::min<std::size_t>(4410, samples.size() - at)));
        capture.PollAudioCapture();
    }
    for (int y = 0; y < kPictureHeight - 1; ++y) ASSERT_EQ(view.receivedPicture[y], sent[y]) << y;
}

}  // namespace
