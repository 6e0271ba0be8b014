// Speed of the modem's hot paths, each beside a floor measured in the same
// run: the least work that path could possibly do on the same data. After
// the run a table gives each measurement, its floor and their ratio.
//
//   encode/<picture>/<n>spb   whole transmissions, samples/s
//   receive/<n>spb            the receive chain on real transmissions, samples/s
//   robust/<n>spb             the robust receiver on the same, samples/s
//   rate-finder/<n>spb        the bit rate finder on the same, samples/s
//   reduce-frame              capture frame to picture, frames/s

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "tx/frame_reduction.hpp"
#include "common/picture.hpp"
#include "common/samples.hpp"
#include "rx/picture_view.hpp"
#include "rx/rate_finder.hpp"
#include "rx/receive_chain.hpp"
#include "rx/robust_receiver.hpp"
#include "tx/transmit_chain.hpp"

namespace {

constexpr std::int32_t kSettings[] = {4, 3, 2};

// Samples the receiver is handed per poll.
constexpr std::size_t kPollSamples = 4410;

Picture FilledPicture(std::uint8_t value)
{
    Picture picture;
    for (PictureLine& line : picture) line.fill(value);
    return picture;
}

// A stuffed 0 after every fifth 1, byte boundaries included: the longest
// transmission there is (kMaxTransmissionSamples at 4 samples per bit).
Picture MostStuffedPicture()
{
    constexpr std::uint8_t kPattern[5] = {223, 247, 191, 239, 127};
    Picture picture;
    for (PictureLine& line : picture)
        for (int c = 0; c < kPictureWidth; ++c) line[c] = kPattern[c % 5];
    return picture;
}

Picture RandomPicture(std::mt19937& random)
{
    std::uniform_int_distribution<int> byte(0, 255);
    Picture picture;
    for (PictureLine& line : picture)
        for (std::uint8_t& value : line) value = static_cast<std::uint8_t>(byte(random));
    return picture;
}

// ---- Encoder ----------------------------------------------------------

// One whole transmission per iteration, into the transmit buffer.
void EncodePicture(benchmark::State& state, const Picture& picture, std::int32_t samplesPerBit)
{
    SamplesPerBit setting{samplesPerBit};
    TransmitChain chain(setting);
    std::vector<std::uint8_t> buffer(kMaxTransmissionSamples);
    std::int64_t samples = 0;
    for (auto _ : state) {
        samples += static_cast<std::int64_t>(EncodeTransmission(chain, picture, buffer.data()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(samples);
}

// Floor: the encoder has to write every sample of the transmission once;
// memset writes the same bytes of the same buffer as fast as they can go.
void MemsetFloor(benchmark::State& state, const Picture& picture, std::int32_t samplesPerBit)
{
    SamplesPerBit setting{samplesPerBit};
    TransmitChain chain(setting);
    std::vector<std::uint8_t> buffer(kMaxTransmissionSamples);
    const std::size_t length = EncodeTransmission(chain, picture, buffer.data());
    std::int64_t samples = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(buffer.data());
        std::memset(buffer.data(), kZeroLevel, length);
        benchmark::ClobberMemory();
        samples += static_cast<std::int64_t>(length);
    }
    state.SetItemsProcessed(samples);
}

// ---- Receive chain ----------------------------------------------------

// A few random pictures, transmitted back to back at one setting.
struct ReceiveInput {
    std::int32_t samplesPerBit;
    std::vector<std::uint8_t> samples;
    Picture lastPicture;  // as it goes out: 255 becomes 254
};

ReceiveInput MakeReceiveInput(std::int32_t samplesPerBit)
{
    constexpr int kPictures = 3;
    std::mt19937 random(20240601u + static_cast<std::uint32_t>(samplesPerBit));
    SamplesPerBit setting{samplesPerBit};
    TransmitChain chain(setting);
    std::vector<std::uint8_t> buffer(kMaxTransmissionSamples);
    ReceiveInput input{samplesPerBit, {}, {}};
    for (int i = 0; i < kPictures; ++i) {
        input.lastPicture = RandomPicture(random);
        const std::size_t length = EncodeTransmission(chain, input.lastPicture, buffer.data());
        input.samples.insert(input.samples.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
    }
    for (PictureLine& line : input.lastPicture)
        for (std::uint8_t& value : line)
            if (value == 255) value = 254;
    return input;
}

template <class Receiver>
void FeedInPolls(Receiver& chain, const ReceiveInput& input)
{
    const std::span<const std::uint8_t> all(input.samples);
    for (std::size_t at = 0; at < all.size(); at += kPollSamples) {
        chain.SetSamplesPerBit(input.samplesPerBit);
        chain.Receive(all.subspan(at, std::min(kPollSamples, all.size() - at)));
    }
}

// TrackSample -> ClockSample -> DecodeBit -> StoreLine (or the robust
// receiver's stages) over every sample, one poll at a time, into a picture
// with no window. The chain's state carries on from one iteration to the
// next as it does on the air.
template <class Receiver>
void ReceiveSamples(benchmark::State& state, const ReceiveInput& input)
{
    PictureView view;
    Receiver chain(view);
    // The samples must really decode, or the figure means nothing. The end
    // of the last row is still inside the decoder when the samples run out
    // (the next transmission pushes it through), so rows 0 to 58 are checked.
    FeedInPolls(chain, input);
    const bool decoded = std::equal(input.lastPicture.begin(), input.lastPicture.end() - 1,
                                    view.receivedPicture.begin()) &&
                         view.pictureRow == kPictureHeight - 1;
    if (!decoded) {
        state.SkipWithError("the transmissions did not decode");
        return;
    }
    for (auto _ : state) {
        FeedInPolls(chain, input);
        benchmark::DoNotOptimize(view.receivedPicture);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(input.samples.size()));
}

// The rate finder on the same transmissions, as decode's automatic bit
// rate runs it beside the receiver; it must find every preamble.
void FindRates(benchmark::State& state, const ReceiveInput& input)
{
    RateFinder finder;
    finder.Find(input.samples);
    if (finder.Count(input.samplesPerBit) == 0) {
        state.SkipWithError("no preamble found");
        return;
    }
    const std::span<const std::uint8_t> all(input.samples);
    for (auto _ : state) {
        for (std::size_t at = 0; at < all.size(); at += kPollSamples)
            finder.Find(all.subspan(at, std::min(kPollSamples, all.size() - at)));
        finder.found.clear();
        benchmark::DoNotOptimize(finder);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(input.samples.size()));
}

// Floor: the DC estimate is a serial chain through every sample (two
// multiplies and an add each) that no receiver can shorten; everything else
// the chain does could in principle hide behind it.
void DcRecurrenceFloor(benchmark::State& state, const ReceiveInput& input)
{
    double dc = 128.0;
    for (auto _ : state) {
        for (std::uint8_t sample : input.samples) {
            const double x = sample;
            dc = (dc * 159.0 + x) * 0.00625;
        }
        benchmark::DoNotOptimize(dc);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(input.samples.size()));
}

// ---- Frame reduction --------------------------------------------------

std::vector<std::uint8_t> RandomFrame()
{
    std::mt19937 random(57600u);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::uint8_t> frame(kFrameBytes);
    for (std::uint8_t& value : frame) value = static_cast<std::uint8_t>(byte(random));
    return frame;
}

void ReduceFrames(benchmark::State& state, const std::vector<std::uint8_t>& frame)
{
    Picture picture;
    for (auto _ : state) {
        ReduceFrame(frame.data(), picture);
        benchmark::DoNotOptimize(picture);
    }
    state.SetItemsProcessed(state.iterations());
}

// ---- Ratio table ------------------------------------------------------

// The console output as usual, plus each run's items_per_second by name:
// the median when repetitions are aggregated, else the single run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            const auto rate = run.counters.find("items_per_second");
            if (rate != run.counters.end()) rates_[run.run_name.str()] = rate->second.value;
        }
    }

    const double* Rate(const std::string& name) const
    {
        const auto found = rates_.find(name);
        return found == rates_.end() ? nullptr : &found->second;
    }

private:
    std::map<std::string, double> rates_;
};

struct Pairing {
    std::string measurement;
    std::string floor;
    double scale;  // items_per_second is divided by this for the table
    const char* unit;
    const char* floorUnit;
};

void PrintRatios(const RatioReporter& reporter, const std::vector<Pairing>& pairings)
{
    std::printf("\nmeasurement / floor / ratio\n");
    for (const Pairing& pairing : pairings) {
        const double* measured = reporter.Rate(pairing.measurement);
        const double* floor = reporter.Rate(pairing.floor);
        if (measured == nullptr) continue;  // filtered out or failed
        std::printf("%-24s %8.0f %-11s", pairing.measurement.c_str(), *measured / pairing.scale, pairing.unit);
        if (floor != nullptr)
            std::printf("  floor %8.0f %-8s  ratio %6.3f\n", *floor / pairing.scale, pairing.floorUnit,
                        *measured / *floor);
        else
            std::printf("  floor        -\n");
    }
}

}  // namespace

int main(int argc, char** argv)
{
    // Inputs are built once; the benchmarks only read them.
    const struct {
        const char* name;
        Picture picture;
    } pictures[] = {{"zero", FilledPicture(0)}, {"white", FilledPicture(255)}, {"stuffed", MostStuffedPicture()}};
    std::vector<ReceiveInput> receiveInputs;
    for (std::int32_t spb : kSettings) receiveInputs.push_back(MakeReceiveInput(spb));
    const std::vector<std::uint8_t> frame = RandomFrame();

    // The measurements are registered just before their floor.
    std::vector<Pairing> pairings;
    for (const auto& entry : pictures) {
        for (std::int32_t spb : kSettings) {
            const std::string suffix = std::string(entry.name) + "/" + std::to_string(spb) + "spb";
            const Picture& picture = entry.picture;
            const std::string measured = "encode/" + suffix;
            const std::string floor = "memset/" + suffix;
            benchmark::RegisterBenchmark(measured.c_str(),
                                         [&picture, spb](benchmark::State& s) { EncodePicture(s, picture, spb); });
            benchmark::RegisterBenchmark(floor.c_str(),
                                         [&picture, spb](benchmark::State& s) { MemsetFloor(s, picture, spb); });
            pairings.push_back({measured, floor, 1e6, "M samples/s", "M/s"});
        }
    }
    for (const ReceiveInput& input : receiveInputs) {
        const std::string suffix = std::to_string(input.samplesPerBit) + "spb";
        const std::string measured = "receive/" + suffix;
        const std::string floor = "dc-recurrence/" + suffix;
        const std::string robust = "robust/" + suffix;
        benchmark::RegisterBenchmark(measured.c_str(), [&input](benchmark::State& s) {
            ReceiveSamples<ReceiveChain<PictureView>>(s, input);
        });
        benchmark::RegisterBenchmark(robust.c_str(), [&input](benchmark::State& s) {
            ReceiveSamples<RobustReceiver<PictureView>>(s, input);
        });
        benchmark::RegisterBenchmark(floor.c_str(), [&input](benchmark::State& s) { DcRecurrenceFloor(s, input); });
        pairings.push_back({measured, floor, 1e6, "M samples/s", "M/s"});
        pairings.push_back({robust, floor, 1e6, "M samples/s", "M/s"});
        const std::string rates = "rate-finder/" + suffix;
        benchmark::RegisterBenchmark(rates.c_str(), [&input](benchmark::State& s) { FindRates(s, input); });
        pairings.push_back({rates, "", 1e6, "M samples/s", ""});
    }
    benchmark::RegisterBenchmark("reduce-frame", [&frame](benchmark::State& s) { ReduceFrames(s, frame); });
    // No floor: the reduction is the grey arithmetic itself.
    pairings.push_back({"reduce-frame", "", 1.0, "frames/s", ""});

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter(isatty(fileno(stdout)) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                  : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios(reporter, pairings);
    benchmark::Shutdown();
    return 0;
}
