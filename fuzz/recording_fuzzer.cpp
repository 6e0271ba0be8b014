// Any bytes as a recording file, read as `telvane-cli decode` reads one.
// ReadRecording takes a path, so each input goes into an in-memory file that
// libsndfile opens through /proc/self/fd.

#include <sndfile.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "fuzz/feedback.hpp"
#include "fuzz/memory_file.hpp"
#include "recording_input.hpp"

namespace {

MemoryFile* input = nullptr;
// Keeps the loop over the chunks from being optimised away.
volatile unsigned keptSum;

void Fail(const char* what)
{
    std::fprintf(stderr, "recording_fuzzer: %s\n", what);
    std::abort();
}

// What libsndfile made of the file, for libFuzzer to tell inputs apart by.
void MarkRecording(std::size_t samples, const std::string& error)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(input->Path().c_str(), SFM_READ, &info);
    feedback::Mark(0, static_cast<std::uint64_t>(sf_error(file)));
    if (file != nullptr) {
        feedback::Mark(1, static_cast<std::uint64_t>(info.format & SF_FORMAT_TYPEMASK) >> 16);
        feedback::Mark(2, static_cast<std::uint64_t>(info.format & SF_FORMAT_SUBMASK));
        feedback::Mark(3, feedback::Magnitude(static_cast<std::uint64_t>(info.channels)));
        feedback::Mark(4, feedback::Magnitude(static_cast<std::uint64_t>(info.samplerate)));
        sf_close(file);
    }
    feedback::Mark(5, feedback::Magnitude(samples));
    feedback::Mark(6, feedback::Kind(error));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static MemoryFile file("recording");
    input = &file;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    input->Hold(data, size);

    // Every byte of every chunk is read, so a chunk that reaches past its
    // buffer is an ASan report.
    struct Summing : SampleSink {
        bool Take(std::span<const std::uint8_t> chunk) override
        {
            samples += chunk.size();
            for (std::uint8_t sample : chunk) sum += sample;
            return true;
        }
        std::size_t samples = 0;
        unsigned sum = 0;
    } summing;
    std::string error;
    const bool read = ReadRecording(input->Path(), summing, error);
    if (!read && error.empty()) Fail("a failed read gave no reason");
    keptSum = summing.sum + static_cast<unsigned>(summing.samples);
    MarkRecording(summing.samples, error);
    return 0;
}
