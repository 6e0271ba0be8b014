#pragma once
// Rows 0 to 58 of the transmission in a WAV file as a receiver tuning in
// hears them (row 59 only completes with the next transmission).

#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <vector>

#include "rx/receive_chain.hpp"
#include "support/line_recorder.hpp"

inline std::vector<PictureLine> RowsOfTransmissionFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    LineRecorder recorder;
    ReceiveChain<LineRecorder> chain(recorder);
    chain.SetSamplesPerBit(4);
    constexpr std::size_t kWavHeaderBytes = 44;
    if (bytes.size() > kWavHeaderBytes) chain.Receive(std::span(bytes).subspan(kWavHeaderBytes));
    recorder.lines.resize(kPictureHeight - 1);
    return recorder.lines;
}
