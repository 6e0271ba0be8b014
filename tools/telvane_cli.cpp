// telvane-cli: offline encoding of images into transmissions and decoding of
// recordings into pictures, on the transmitter's and receiver's own code.

#include <QCoreApplication>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

#include "common/picture.hpp"
#include "common/samples.hpp"
#include "rx/receive_chain.hpp"
#include "rx/switched_receiver.hpp"
#include "tools/image_input.hpp"
#include "tools/picture_output.hpp"
#include "tools/recording_input.hpp"
#include "tx/transmission.hpp"
#include "tx/wav_writer.hpp"

#ifndef TELVANE_VERSION
#define TELVANE_VERSION "unknown"
#endif

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "Usage:\n"
    "  telvane-cli encode [--bitrate 5500|8250|11000] [--gap SECONDS] -o OUT.wav IMAGE...\n"
    "  telvane-cli decode [--bitrate 5500|8250|11000] [--receiver exact|robust] [--format png|pgm]\n"
    "                     [-o DIR] RECORDING...\n"
    "  telvane-cli --help | --version\n";

constexpr const char* kHelp =
    "\n"
    "encode  Turns each IMAGE, in the order given, into one transmission, exactly as\n"
    "        the transmitter sends it, and writes them back to back into OUT.wav\n"
    "        (unsigned 8-bit mono, 22050 samples/s). One encoder carries its state\n"
    "        from one transmission to the next, as between transmit cycles.\n"
    "        An 80 x 60 image gives the picture directly (grey values as they stand,\n"
    "        colour by BT.601 luma); a 160 x 120 image is reduced as a camera frame;\n"
    "        any other size is scaled to cover 160 x 120, centre-cropped and reduced.\n"
    "  --bitrate 5500|8250|11000  4, 3 or 2 samples per bit (default 5500)\n"
    "  --gap SECONDS              silence (level 128) between transmissions (default 0)\n"
    "  -o OUT.wav                 the output file (required)\n"
    "\n"
    "decode  Feeds every RECORDING, in order, through one receiver as a sound card\n"
    "        would deliver it (any format and rate libsndfile reads, mixed to mono,\n"
    "        resampled to 22050, reduced to 8 bits). Every repaint of the received\n"
    "        picture, after each 60th received line, writes the whole 80 x 60\n"
    "        picture to DIR/rx0001.png, rx0002.png, ...; at the end of the input a\n"
    "        picture with rows received since the last one is written too.\n"
    "        A RECORDING of - reads raw unsigned 8-bit mono samples at 22050/s from\n"
    "        standard input, writing each picture as soon as it is complete:\n"
    "          parec --format=u8 --rate=22050 --channels=1 | telvane-cli decode -o pictures -\n"
    "  --bitrate 5500|8250|11000  4, 3 or 2 samples per bit (default 5500)\n"
    "  --receiver exact|robust    exact (default): the receiver as the program has\n"
    "                             always had it, bit for bit; robust: matched filter,\n"
    "                             adaptive baseline and interpolated bit timing, for\n"
    "                             noise, AC-coupled audio paths and drifting sound\n"
    "                             cards (see docs/robustness.png)\n"
    "  --format png|pgm           8-bit grey PNG (default) or binary PGM\n"
    "  -o DIR                     where the pictures go (default: the current\n"
    "                             directory; created if missing)\n"
    "\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 usage error.\n";

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "telvane-cli: %s\n%sTry 'telvane-cli --help'.\n", message.c_str(), kUsage);
    return kExitUsage;
}

int Failure(const std::string& file, const std::string& reason)
{
    std::fprintf(stderr, "telvane-cli: %s: %s\n", file.c_str(), reason.c_str());
    return kExitFailure;
}

std::optional<std::int32_t> SamplesPerBitFromBitrate(std::string_view bitrate)
{
    if (bitrate == "5500") return 4;
    if (bitrate == "8250") return 3;
    if (bitrate == "11000") return 2;
    return std::nullopt;
}

std::string_view BitrateLabel(std::int32_t samplesPerBit)
{
    return samplesPerBit == 2 ? "11000" : samplesPerBit == 3 ? "8250" : "5500";
}

// Options of the form "--name value" or "--name=value", anywhere among the
// operands; "--" ends the options, and "-" alone is an operand.
class Arguments {
public:
    Arguments(int argc, char** argv, int first) : args_(argv + first, argv + argc) {}

    // The next option's name; false once every argument has been seen.
    bool NextOption(std::string& name)
    {
        while (index_ < args_.size()) {
            const std::string_view arg = args_[index_++];
            if (!optionsEnded_ && arg == "--") {
                optionsEnded_ = true;
                continue;
            }
            if (optionsEnded_ || arg.size() < 2 || arg[0] != '-') {
                operands_.emplace_back(arg);
                continue;
            }
            const auto equals = arg.find('=');
            if (arg.starts_with("--") && equals != std::string_view::npos) {
                name = std::string(arg.substr(0, equals));
                pending_ = std::string(arg.substr(equals + 1));
            } else {
                name = std::string(arg);
                pending_.reset();
            }
            return true;
        }
        return false;
    }

    // The value of the option just returned.
    std::optional<std::string> Value()
    {
        if (pending_) return std::exchange(pending_, std::nullopt);
        if (index_ >= args_.size()) return std::nullopt;
        return std::string(args_[index_++]);
    }

    const std::vector<std::string>& Operands() const { return operands_; }

private:
    std::vector<std::string_view> args_;
    std::size_t index_ = 0;
    bool optionsEnded_ = false;
    std::optional<std::string> pending_;
    std::vector<std::string> operands_;
};

// WavWriter's failures, as one line on standard error.
class StderrMessages : public MessageBox {
public:
    explicit StderrMessages(std::string file) : file_(std::move(file)) {}
    void Show(WindowHandle, std::string_view text, std::string_view) override
    {
        const char* meaning = text == "CANTOPENFILE"    ? "cannot create or open the file for writing"
                              : text == "CANTWRITEWAVE" ? "cannot write the RIFF header"
                                                        : "cannot write the audio data";
        std::fprintf(stderr, "telvane-cli: %s: %.*s: %s\n", file_.c_str(), static_cast<int>(text.size()), text.data(),
                     meaning);
    }

private:
    std::string file_;
};

int Encode(Arguments& args)
{
    SamplesPerBit samplesPerBit{kInitialSamplesPerBit};
    double gapSeconds = 0.0;
    std::string output;
    std::string option;
    while (args.NextOption(option)) {
        const std::optional<std::string> value = args.Value();
        if (!value) return UsageError(option + " needs a value");
        if (option == "--bitrate") {
            const auto setting = SamplesPerBitFromBitrate(*value);
            if (!setting) return UsageError("bit rate must be 5500, 8250 or 11000, not '" + *value + "'");
            samplesPerBit = *setting;
        } else if (option == "--gap") {
            char* end = nullptr;
            gapSeconds = std::strtod(value->c_str(), &end);
            if (value->empty() || *end != '\0' || !(gapSeconds >= 0.0 && gapSeconds <= 3600.0))
                return UsageError("gap must be a number of seconds from 0 to 3600, not '" + *value + "'");
        } else if (option == "-o") {
            output = *value;
        } else {
            return UsageError("unknown option " + option + " for encode");
        }
    }
    const std::vector<std::string>& images = args.Operands();
    if (output.empty()) return UsageError("encode needs -o OUT.wav");
    if (images.empty()) return UsageError("encode needs at least one IMAGE");

    std::vector<Picture> pictures(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        std::string error;
        if (!LoadPicture(images[i], pictures[i], error)) return Failure(images[i], "cannot read image: " + error);
    }

    const auto gapSamples = static_cast<std::size_t>(std::llround(gapSeconds * kSampleRate));
    const std::size_t longest = images.size() * kMaxTransmissionSamples + (images.size() - 1) * gapSamples;
    if (longest > std::numeric_limits<std::uint32_t>::max() - 64)
        return Failure(output, "too many images for one WAV file");

    TransmitChain chain(samplesPerBit);
    std::vector<std::uint8_t> samples;
    std::vector<std::uint8_t> transmission(kMaxTransmissionSamples);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        if (i > 0) samples.insert(samples.end(), gapSamples, kZeroLevel);
        const std::size_t count = EncodeTransmission(chain, pictures[i], transmission.data());
        samples.insert(samples.end(), transmission.begin(), transmission.begin() + static_cast<long>(count));
    }

    StderrMessages messages(output);
    WavWriter writer(messages);
    if (writer.WriteWavFile(nullptr, output.c_str(), samples, kSampleRate) != 1) return kExitFailure;
    std::printf("%s: %zu transmission%s, %zu samples (%.2f s) at %s bps\n", output.c_str(), pictures.size(),
                pictures.size() == 1 ? "" : "s", samples.size(), static_cast<double>(samples.size()) / kSampleRate,
                std::string(BitrateLabel(samplesPerBit)).c_str());
    return 0;
}

// Stands in front of the received picture: counts lines and writes the
// picture to a file at every repaint.
class PictureFiles : public PictureWindow {
public:
    PictureFiles(std::filesystem::path directory, PictureFormat format)
        : directory_(std::move(directory)), format_(format)
    {
        view_.SetWindow(this);
    }

    void StoreLine(const PictureLine& line)
    {
        ++lines_;
        ++rowsSinceWrite_;
        view_.StoreLine(line);
    }
    void ResetPictureRow() { view_.ResetPictureRow(); }

    void RepaintNow() override { Write(""); }

    // At the end of the input: the rows received since the last picture.
    void WriteRemainder()
    {
        if (rowsSinceWrite_ > 0) Write(" (end of input, " + std::to_string(rowsSinceWrite_) + " new rows)");
    }

    bool Failed() const { return !error_.empty(); }
    const std::string& Error() const { return error_; }
    const std::string& FailedPath() const { return failedPath_; }
    long Pictures() const { return pictures_; }
    long Lines() const { return lines_; }

private:
    void Write(const std::string& note)
    {
        rowsSinceWrite_ = 0;
        if (Failed()) return;
        char name[32];
        std::snprintf(name, sizeof name, "rx%04ld.%s", pictures_ + 1, format_ == PictureFormat::Pgm ? "pgm" : "png");
        const std::string path = (directory_ / name).string();
        std::string error;
        if (!WritePicture(view_.receivedPicture, path, format_, error)) {
            error_ = "cannot write picture: " + error;
            failedPath_ = path;
            return;
        }
        ++pictures_;
        std::printf("picture %ld: %s%s\n", pictures_, path.c_str(), note.c_str());
        std::fflush(stdout);
    }

    PictureView view_;
    std::filesystem::path directory_;
    PictureFormat format_;
    long pictures_ = 0;
    long lines_ = 0;
    long rowsSinceWrite_ = 0;
    std::string error_;
    std::string failedPath_;
};

int Decode(Arguments& args)
{
    std::int32_t samplesPerBit = kInitialSamplesPerBit;
    bool robust = false;
    PictureFormat format = PictureFormat::Png;
    std::filesystem::path directory;
    std::string option;
    while (args.NextOption(option)) {
        const std::optional<std::string> value = args.Value();
        if (!value) return UsageError(option + " needs a value");
        if (option == "--bitrate") {
            const auto setting = SamplesPerBitFromBitrate(*value);
            if (!setting) return UsageError("bit rate must be 5500, 8250 or 11000, not '" + *value + "'");
            samplesPerBit = *setting;
        } else if (option == "--receiver") {
            if (*value != "exact" && *value != "robust")
                return UsageError("receiver must be exact or robust, not '" + *value + "'");
            robust = *value == "robust";
        } else if (option == "--format") {
            if (*value != "png" && *value != "pgm") return UsageError("format must be png or pgm, not '" + *value + "'");
            format = *value == "pgm" ? PictureFormat::Pgm : PictureFormat::Png;
        } else if (option == "-o") {
            if (value->empty()) return UsageError("-o needs a directory");
            directory = *value;
        } else {
            return UsageError("unknown option " + option + " for decode");
        }
    }
    const std::vector<std::string>& recordings = args.Operands();
    if (recordings.empty()) return UsageError("decode needs at least one RECORDING (or - for standard input)");

    if (!directory.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(directory, ec);
        if (ec) return Failure(directory.string(), "cannot create directory: " + ec.message());
    }

    PictureFiles pictures(directory, format);
    SwitchedReceiver<PictureFiles> chain(pictures);
    chain.SetRobust(robust);
    chain.SetSamplesPerBit(samplesPerBit);
    const SampleChunkSink feed = [&](std::span<const std::uint8_t> chunk) {
        if (!pictures.Failed()) chain.Receive(chunk);
    };
    for (const std::string& recording : recordings) {
        std::string error;
        const bool read = recording == "-" ? ReadRawSamples(STDIN_FILENO, feed, error)
                                           : ReadRecording(recording, feed, error);
        if (pictures.Failed()) return Failure(pictures.FailedPath(), pictures.Error());
        if (!read) {
            // The input ends here: the rows received up to it still make a picture.
            pictures.WriteRemainder();
            Failure(recording == "-" ? "standard input" : recording, "cannot read recording: " + error);
            if (pictures.Failed()) Failure(pictures.FailedPath(), pictures.Error());
            return kExitFailure;
        }
    }
    pictures.WriteRemainder();
    if (pictures.Failed()) return Failure(pictures.FailedPath(), pictures.Error());

    char levels[64];
    chain.FormatLevels(levels, sizeof levels);
    std::printf("%ld picture%s, %ld lines\n%s\n", pictures.Pictures(), pictures.Pictures() == 1 ? "" : "s",
                pictures.Lines(), levels);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // For Qt's image format plugins; no display is needed.
    QCoreApplication application(argc, argv);
    if (argc < 2) return UsageError("a command is needed");
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h") {
        std::printf("%s%s", kUsage, kHelp);
        return 0;
    }
    if (command == "--version") {
        std::printf("telvane-cli %s\n", TELVANE_VERSION);
        return 0;
    }
    Arguments args(argc, argv, 2);
    if (command == "encode") return Encode(args);
    if (command == "decode") return Decode(args);
    return UsageError("unknown command '" + std::string(command) + "'");
}
