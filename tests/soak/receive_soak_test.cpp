// An hour of listening through one receiver: noise with transmissions of
// random pictures now and then, all with moderate noise, polled in chunks
// of 4,410 samples as the receive timer does.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <span>
#include <vector>

#include "common/samples.hpp"
#include "rx/receive_chain.hpp"
#include "soak/process_figures.hpp"
#include "tx/transmit_chain.hpp"

namespace {

constexpr std::size_t kPollSamples = 4410;
constexpr double kPeakSignal = 50.0;  // the transmitted deviation from 128

// Counts transmissions whose rows 0 to 58 arrive exactly, in order, without
// keeping any line. A transmission is looked for from its first sample
// until the one after the next starts; its rows may be finished in the
// chunk that already carries the next one.
class RowMatcher {
public:
    void StoreLine(const PictureLine& line)
    {
        for (Expected& e : expected_) {
            if (!e.active || e.rows == kPictureHeight - 1) continue;
            e.rows = line == e.picture[e.rows] ? e.rows + 1 : line == e.picture[0] ? 1 : 0;
            if (e.rows == kPictureHeight - 1) ++exact;
        }
    }
    void ResetPictureRow() {}

    void Begin(const Picture& sent)
    {
        Expected& e = expected_[next_];
        next_ = (next_ + 1) % expected_.size();
        e.active = true;
        e.rows = 0;
        for (int row = 0; row < kPictureHeight; ++row)
            std::ranges::replace_copy(sent[row], e.picture[row].begin(), std::uint8_t{255}, std::uint8_t{254});
        ++sent_;
    }
    long Sent() const { return sent_; }

    long exact = 0;

private:
    struct Expected {
        bool active = false;
        int rows = 0;  // rows matched so far, from row 0
        Picture picture{};
    };
    std::array<Expected, 2> expected_{};
    std::size_t next_ = 0;
    long sent_ = 0;
};

// The receiver's input, made as it is consumed: gaps of noise alone and
// transmissions from one transmit chain (its state carried from each to
// the next), with Gaussian noise over everything.
class Air {
public:
    Air(std::int32_t samplesPerBit, double snrDb, unsigned seed, RowMatcher& matcher)
        : setting_(samplesPerBit), chain_(setting_), random_(seed), noise_(0.0, kPeakSignal / std::pow(10.0, snrDb / 20)),
          matcher_(matcher), transmission_(kMaxTransmissionSamples)
    {
        StartGap();
    }

    // True while a transmission is part way out.
    bool OnAir() const { return !inGap_; }

    void Fill(std::span<std::uint8_t> out)
    {
        for (std::uint8_t& sample : out) {
            while (at_ == length_) inGap_ ? StartTransmission() : StartGap();
            const double level = inGap_ ? kZeroLevel : transmission_[at_];
            ++at_;
            sample = static_cast<std::uint8_t>(std::clamp(std::lround(level + noise_(random_)), 0L, 255L));
        }
    }

private:
    // 0.5 to 4 s, around the transmitter's pause and a listener's tuning.
    void StartGap()
    {
        inGap_ = true;
        at_ = 0;
        length_ = std::uniform_int_distribution<std::size_t>(kSampleRate / 2, 4 * kSampleRate)(random_);
    }
    void StartTransmission()
    {
        Picture picture;
        std::uniform_int_distribution<int> value(0, 255);
        for (PictureLine& line : picture)
            for (std::uint8_t& v : line) v = static_cast<std::uint8_t>(value(random_));
        inGap_ = false;
        at_ = 0;
        length_ = EncodeTransmission(chain_, picture, transmission_.data());
        matcher_.Begin(picture);
    }

    SamplesPerBit setting_;
    TransmitChain chain_;
    std::mt19937 random_;
    std::normal_distribution<double> noise_;
    RowMatcher& matcher_;
    std::vector<std::uint8_t> transmission_;
    bool inGap_ = true;
    std::size_t at_ = 0;
    std::size_t length_ = 0;
};

struct Listening {
    long sent = 0;
    long exact = 0;
    long residentAfterMinuteKb = -1;
    long residentEndKb = -1;
    double runSeconds = 0;
};

Listening Listen(std::int32_t samplesPerBit, double snrDb, double seconds, unsigned seed)
{
    RowMatcher matcher;
    ReceiveChain<RowMatcher> receiver(matcher);
    receiver.SetSamplesPerBit(samplesPerBit);
    Air air(samplesPerBit, snrDb, seed, matcher);
    std::vector<std::uint8_t> poll(kPollSamples);

    Listening result;
    const auto start = std::chrono::steady_clock::now();
    const auto polls = static_cast<long>(seconds * kSampleRate / kPollSamples);
    const long minute = 60L * kSampleRate / kPollSamples;
    // Past the end until the last transmission is out whole.
    for (long i = 0; i < polls || air.OnAir(); ++i) {
        air.Fill(poll);
        receiver.Receive(poll);
        if (i + 1 == minute) result.residentAfterMinuteKb = soak::ResidentKb();
    }
    result.residentEndKb = soak::ResidentKb();
    result.runSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.sent = matcher.Sent();
    result.exact = matcher.exact;
    return result;
}

void Report(const char* name, std::int32_t samplesPerBit, double seconds, const Listening& l)
{
    std::printf("[soak] receive %s: %d samples/bit, %.0f s of audio in %.1f s, %ld of %ld pictures exact (rows 0-58), "
                "resident %ld kB after 1 min, %ld kB at end\n",
                name, samplesPerBit, seconds, l.runSeconds, l.exact, l.sent, l.residentAfterMinuteKb,
                l.residentEndKb);
}

TEST(ReceiveSoak, AnHourAtFourSamplesPerBitReceivesEveryPictureWithoutGrowing)
{
    constexpr double kHour = 3600;
    const Listening hour = Listen(4, 25.0, kHour, 1);
    Report("hour", 4, kHour, hour);
    RecordProperty("pictures_sent", static_cast<int>(hour.sent));
    RecordProperty("pictures_exact", static_cast<int>(hour.exact));
    RecordProperty("resident_after_minute_kb", static_cast<int>(hour.residentAfterMinuteKb));
    RecordProperty("resident_end_kb", static_cast<int>(hour.residentEndKb));

    // Some 400 transmissions of about 7 s, with gaps of 2 s on average.
    EXPECT_GT(hour.sent, 300);
    EXPECT_EQ(hour.exact, hour.sent);
    ASSERT_GT(hour.residentAfterMinuteKb, 0);
    if (soak::kResidentMeasured) {
        EXPECT_LE(hour.residentEndKb - hour.residentAfterMinuteKb, soak::kResidentMarginKb);
    }
}

TEST(ReceiveSoak, QuarterHoursAtThreeAndTwoSamplesPerBitReceiveEveryPicture)
{
    constexpr double kQuarter = 900;
    for (std::int32_t samplesPerBit : {3, 2}) {
        SCOPED_TRACE(samplesPerBit);
        const Listening quarter = Listen(samplesPerBit, 25.0, kQuarter, static_cast<unsigned>(samplesPerBit));
        Report("quarter hour", samplesPerBit, kQuarter, quarter);
        EXPECT_GT(quarter.sent, 100);
        EXPECT_EQ(quarter.exact, quarter.sent);
        if (soak::kResidentMeasured) {
            EXPECT_LE(quarter.residentEndKb - quarter.residentAfterMinuteKb, soak::kResidentMarginKb);
        }
    }
}

}  // namespace
