#include "recording_input.hpp"

#include <samplerate.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "common/samples.hpp"

namespace {

constexpr sf_count_t kChunkFrames = kFileChunkFrames;
constexpr const char* kNoRateOrChannels = "no valid sample rate or number of channels";

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
struct ResamplerDeleter {
    void operator()(SRC_STATE* state) const { src_delete(state); }
};
using SndfilePtr = std::unique_ptr<SNDFILE, SndfileCloser>;
using ResamplerPtr = std::unique_ptr<SRC_STATE, ResamplerDeleter>;

// False when the sink wants no more.
bool HandOn(std::span<const float> mono, std::vector<std::uint8_t>& bytes, SampleSink& sink)
{
    bytes.resize(mono.size());
    for (std::size_t i = 0; i < mono.size(); ++i) bytes[i] = SampleToUnsigned8(mono[i]);
    return bytes.empty() || sink.TakeFull(bytes, mono);
}

// Feeds mono input through the resampler until it is consumed; wanted
// becomes false when the sink wants no more.
bool Resample(SRC_STATE* state, double ratio, std::span<float> input, bool endOfInput, std::vector<float>& output,
              std::vector<std::uint8_t>& bytes, SampleSink& sink, bool& wanted, std::string& error)
{
    SRC_DATA data{};
    data.data_in = input.data();
    data.input_frames = static_cast<long>(input.size());
    data.src_ratio = ratio;
    data.end_of_input = endOfInput ? 1 : 0;
    for (;;) {
        data.data_out = output.data();
        data.output_frames = static_cast<long>(output.size());
        if (const int status = src_process(state, &data); status != 0) {
            error = src_strerror(status);
            return false;
        }
        const std::span<const float> generated(output.data(), static_cast<std::size_t>(data.output_frames_gen));
        wanted = HandOn(generated, bytes, sink);
        if (!wanted) return true;
        data.data_in += data.input_frames_used;
        data.input_frames -= data.input_frames_used;
        if (data.input_frames == 0 && (!endOfInput || data.output_frames_gen == 0)) return true;
    }
}

bool ReadConverted(SNDFILE* file, const SF_INFO& info, SampleSink& sink, std::string& error)
{
    const bool resampling = info.samplerate != kSampleRate;
    const double ratio = static_cast<double>(kSampleRate) / info.samplerate;
    ResamplerPtr resampler;
    if (resampling) {
        if (src_is_valid_ratio(ratio) == 0) {
            error = "sample rate " + std::to_string(info.samplerate) + " Hz is not supported";
            return false;
        }
        int status = 0;
        resampler.reset(src_new(SRC_SINC_MEDIUM_QUALITY, 1, &status));
        if (!resampler) {
            error = src_strerror(status);
            return false;
        }
    }

    const auto channels = static_cast<std::size_t>(info.channels);
    std::vector<float> frames(static_cast<std::size_t>(kChunkFrames) * channels);
    std::vector<float> mono(static_cast<std::size_t>(kChunkFrames));
    std::vector<float> resampled(static_cast<std::size_t>(std::ceil(kChunkFrames * ratio)) + 16);
    std::vector<std::uint8_t> bytes;
    for (sf_count_t read = 0;;) {
        const sf_count_t got = sf_readf_float(file, frames.data(), kChunkFrames);
        const auto count = static_cast<std::size_t>(got > 0 ? got : 0);
        read += static_cast<sf_count_t>(count);
        for (std::size_t i = 0; i < count; ++i) {
            if (channels == 1) {
                mono[i] = frames[i];
                continue;
            }
            float sum = 0.0F;
            for (std::size_t c = 0; c < channels; ++c) sum += frames[i * channels + c];
            mono[i] = sum / static_cast<float>(channels);
        }
        const bool end = got < kChunkFrames;
        const std::span<float> input(mono.data(), count);
        bool wanted = true;
        if (!resampling) {
            wanted = HandOn(input, bytes, sink);
        } else if (!Resample(resampler.get(), ratio, input, end, resampled, bytes, sink, wanted, error)) {
            return false;
        }
        if (!wanted) return true;
        sink.Progress(read, info.frames);
        if (end) break;
    }
    if (sf_error(file) != SF_ERR_NO_ERROR) {
        error = sf_strerror(file);
        return false;
    }
    return true;
}

}  // namespace

bool ReadRecording(const std::string& path, SampleSink& sink, std::string& error)
{
    if (const std::optional<bool> read = ReadPlainWav(path, sink, error)) return *read;
    return ReadOtherRecording(path, sink, error);
}

bool ReadOtherRecording(const std::string& path, SampleSink& sink, std::string& error)
{
    // libsndfile would call a directory a file of no known format.
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        error = std::strerror(EISDIR);
        return false;
    }
    SF_INFO info{};
    SndfilePtr file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) {
        error = sf_strerror(nullptr);
        // libsndfile's words for a header whose rate or channels it cannot take.
        if (error.find("SF_INFO struct incomplete") != std::string::npos) error = kNoRateOrChannels;
        return false;
    }
    if (info.channels < 1 || info.samplerate < 1) {
        error = kNoRateOrChannels;
        return false;
    }
    return ReadConverted(file.get(), info, sink, error);
}
