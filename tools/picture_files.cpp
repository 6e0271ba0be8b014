#include "picture_files.hpp"

#include <algorithm>
#include <cstdio>

#include "common/samples.hpp"
#include "progress_line.hpp"
#include "stop_signals.hpp"

const char* BitrateLabel(std::int32_t samplesPerBit)
{
    for (const BitRate& rate : kBitRates) {
        if (rate.samplesPerBit == samplesPerBit) return rate.bitsPerSecond;
    }
    return kBitRates[0].bitsPerSecond;
}

void PictureFiles::OnEndOfInput(const Picture& picture, long newLines)
{
    if (newLines > 0) Write(picture, "; end of input, " + std::to_string(newLines) + " new rows");
}

void PictureFiles::OnEndOfTransmission(const Picture& picture, long newLines)
{
    if (newLines > 0) Write(picture, "; the rate changes after " + std::to_string(newLines) + " new rows");
}

// Under the next free number: another decode into the same directory may
// have taken the next one since. (The scan's numbers stay below 10^18, so
// they cannot run out.)
void PictureFiles::Write(const Picture& picture, const std::string& note)
{
    if (Failed()) return;
    const StopSignalsHeld held;  // a second signal waits until the picture has its name
    std::string path;
    std::string error;
    PictureWrite written = PictureWrite::NameTaken;
    while (written == PictureWrite::NameTaken) {
        char name[32];
        std::snprintf(name, sizeof name, "rx%04ld.%s", ++number_, format_ == PictureFormat::Pgm ? "pgm" : "png");
        path = (directory_ / name).string();
        written = WritePicture(picture, path, format_, syncEachPicture, error);
    }
    if (written == PictureWrite::Failed) {
        error_ = "cannot write picture: " + error;
        failedPath_ = path;
        return;
    }
    ++pictures_;
    if (progress != nullptr) progress->Clear();
    std::printf("picture %ld: %s (%s bps%s)\n", pictures_, path.c_str(), BitrateLabel(samplesPerBit), note.c_str());
    std::fflush(stdout);
}

std::optional<long> HighestPictureNumber(const std::filesystem::path& directory, std::error_code& ec)
{
    long highest = 0;
    std::filesystem::directory_iterator entry(directory.empty() ? "." : directory, ec);
    for (; !ec && entry != std::filesystem::directory_iterator(); entry.increment(ec)) {
        const std::string name = entry->path().filename().string();
        const std::size_t dot = name.size() - 4;
        if (name.size() < 10 || !name.starts_with("rx") || (name.substr(dot) != ".png" && name.substr(dot) != ".pgm"))
            continue;
        // Numbers beyond a long's 18 digits are someone else's.
        const std::string digits = name.substr(2, dot - 2);
        if (digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
        highest = std::max(highest, std::stol(digits));
    }
    if (ec) return std::nullopt;
    return highest;
}
