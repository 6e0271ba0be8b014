// telvane-cli: offline encoding of images into transmissions and decoding of
// recordings into pictures, on the transmitter's and receiver's own code.

#include <signal.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "common/picture.hpp"
#include "common/samples.hpp"
#include "rx/auto_rate.hpp"
#include "rx/receive_chain.hpp"
#include "rx/robust_receiver.hpp"
#include "picture_files.hpp"
#include "picture_output.hpp"
#include "progress_line.hpp"
#include "sample_input.hpp"
#include "stop_signals.hpp"
#include "tool_modules.hpp"
#include "tx/transmit_chain.hpp"
#include "tx/wav_writer.hpp"

#ifndef TELVANE_VERSION
#define TELVANE_VERSION "unknown"
#endif

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitIncomplete = 3;

constexpr const char* kUsage =
    "Usage:\n"
    "  telvane-cli encode [--bitrate 5500|8250|11000] [--gap SECONDS] -o OUT.wav IMAGE...\n"
    "  telvane-cli decode [--bitrate auto|5500|8250|11000] [--receiver robust|exact]\n"
    "                     [--format png|pgm] [-o DIR] RECORDING...\n"
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
    "  --gap SECONDS              silence (level 128) between transmissions, in\n"
    "                             decimal seconds from 0 to 3600 (default 0)\n"
    "  -o OUT.wav                 the output file (required)\n"
    "\n"
    "decode  Feeds every RECORDING, in order, through one receiver as a sound card\n"
    "        would deliver it (any format and rate libsndfile reads, mixed to mono,\n"
    "        resampled to 22050, reduced to 8 bits; the robust receiver takes more\n"
    "        bits whole). Every repaint of the received picture, after each 60th\n"
    "        received line, writes the whole 80 x 60 picture to DIR/rx0001.png,\n"
    "        rx0002.png, ...; at the end of the input a picture with rows\n"
    "        received since the last one is written too. The numbers go on from\n"
    "        the highest rxNNNN.png or rxNNNN.pgm already in DIR, so no picture\n"
    "        there is overwritten. Each is reported with the bit rate it was\n"
    "        received at.\n"
    "        A RECORDING of - reads raw unsigned 8-bit mono samples at 22050/s from\n"
    "        standard input, writing each picture as soon as it is complete, and on\n"
    "        the disk before it is reported (live input cannot be decoded again):\n"
    "          parec --format=u8 --rate=22050 --channels=1 --latency-msec=50 |\n"
    "            telvane-cli decode -o pictures -\n"
    "        An interrupt, termination or hang-up ends the decode as the end of\n"
    "        the input would, then the tool ends as by that signal.\n"
    "  --bitrate auto|5500|8250|11000\n"
    "                             auto (default): each transmission at the rate its\n"
    "                             preamble is found at, so a recording may hold\n"
    "                             several; or 4, 3 or 2 samples per bit throughout\n"
    "  --receiver robust|exact    robust (default): matched filter, adaptive\n"
    "                             baseline, channel model and interpolated bit\n"
    "                             timing, for noise, radio audio paths, echoes and\n"
    "                             drifting sound cards (see docs/robustness.png);\n"
    "                             exact: the desktop program's receiver, bit for bit\n"
    "  --format png|pgm           8-bit grey PNG (default) or binary PGM\n"
    "  -o DIR                     where the pictures go (default: the current\n"
    "                             directory; created if missing)\n"
    "\n"
    "Exit status:\n"
    "  0  every image encoded, every recording decoded whole\n"
    "  1  a file could not be read or written (the other recordings are still\n"
    "     decoded, and what was written stays)\n"
    "  2  usage error; nothing is read or written\n"
    "  3  decoded, but incomplete: a recording ends inside a transmission, no\n"
    "     transmission was found, or none at the --bitrate given (the rate the\n"
    "     signal looks like is named)\n"
    "  a decode stopped by SIGINT, SIGTERM or SIGHUP ends by that signal\n";

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

// The --bitrate option of both commands (decode's may also be auto): false
// after the usage error.
bool ParseBitrate(const std::string& value, std::int32_t& samplesPerBit, bool orAuto = false)
{
    for (const BitRate& rate : kBitRates) {
        if (value == rate.bitsPerSecond) {
            samplesPerBit = rate.samplesPerBit;
            return true;
        }
    }
    UsageError("bit rate must be 5500, 8250 or 11000" + std::string(orAuto ? " or auto" : "") + ", not '" + value + "'");
    return false;
}

// Digits with at most one decimal point, in any locale; nothing else (no
// sign, exponent, hexadecimal or spaces).
std::optional<double> DecimalNumber(std::string_view text)
{
    const bool digitsAndOnePoint = text.find_first_not_of("0123456789.") == std::string_view::npos &&
                                   text.find_first_of("0123456789") != std::string_view::npos &&
                                   std::count(text.begin(), text.end(), '.') <= 1;
    if (!digitsAndOnePoint) return std::nullopt;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
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

// A failed WAV write, as the reason on the tool's one line.
std::string WavFailure(WavResult result, int systemError)
{
    std::string reason = result == WavResult::CannotOpen          ? "cannot create or open the file for writing"
                         : result == WavResult::CannotWriteHeader ? "cannot write the RIFF header"
                                                                  : "cannot write the audio data";
    if (systemError != 0) reason += std::string(": ") + std::strerror(systemError);
    return reason;
}

// Whether writing output would overwrite one of the inputs: the same file,
// under any name or link.
bool IsOneOf(const std::string& output, const std::vector<std::string>& inputs)
{
    struct stat target {};
    if (::stat(output.c_str(), &target) != 0) return false;
    return std::any_of(inputs.begin(), inputs.end(), [&](const std::string& input) {
        struct stat status {};
        return ::stat(input.c_str(), &status) == 0 && status.st_dev == target.st_dev && status.st_ino == target.st_ino;
    });
}

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
            std::int32_t setting = 0;
            if (!ParseBitrate(*value, setting)) return kExitUsage;
            samplesPerBit.store(setting);
        } else if (option == "--gap") {
            const std::optional<double> seconds = DecimalNumber(*value);
            if (!seconds || *seconds > 3600.0)
                return UsageError("gap must be a number of seconds from 0 to 3600, not '" + *value + "'");
            gapSeconds = *seconds;
        } else if (option == "-o") {
            output = *value;
        } else {
            return UsageError("unknown option " + option + " for encode");
        }
    }
    const std::vector<std::string>& images = args.Operands();
    if (output.empty()) return UsageError("encode needs -o OUT.wav");
    if (images.empty()) return UsageError("encode needs at least one IMAGE");
    if (IsOneOf(output, images)) return UsageError("the output " + output + " is also an input");

    std::vector<Picture> pictures(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        std::string error;
        if (!LoadPictureThroughModule(images[i], pictures[i], error)) return Failure(images[i], "cannot read image: " + error);
    }

    const auto gapSamples = static_cast<std::size_t>(std::llround(gapSeconds * kSampleRate));
    const std::size_t longest = images.size() * kMaxTransmissionSamples + (images.size() - 1) * gapSamples;
    if (longest > std::numeric_limits<std::uint32_t>::max() - 64)
        return Failure(output, "too many images for one WAV file");

    // Written as it is made, so that an hour's gaps need no hour of memory.
    TransmitChain chain(samplesPerBit);
    std::vector<std::uint8_t> transmission(kMaxTransmissionSamples);
    const std::vector<std::uint8_t> silence(std::min<std::size_t>(gapSamples, kSampleRate), kZeroLevel);
    std::size_t written = 0;
    WavWriter writer;
    WavResult result = writer.Open(output.c_str(), kSampleRate);
    const auto append = [&](const std::uint8_t* samples, std::size_t count) {
        if (result == WavResult::Written) result = writer.Append({samples, count});
        written += count;
    };
    for (std::size_t i = 0; i < pictures.size() && result == WavResult::Written; ++i) {
        for (std::size_t left = i > 0 ? gapSamples : 0; left > 0 && result == WavResult::Written;) {
            const std::size_t count = std::min(left, silence.size());
            append(silence.data(), count);
            left -= count;
        }
        append(transmission.data(), EncodeTransmission(chain, pictures[i], transmission.data()));
    }
    if (result == WavResult::Written) result = writer.Finish();
    if (result != WavResult::Written) {
        // A recording cut short (a full disk, a file-size limit) is not left
        // under the name; a device such as /dev/full stays.
        struct stat status {};
        if (result != WavResult::CannotOpen && ::stat(output.c_str(), &status) == 0 && S_ISREG(status.st_mode))
            ::unlink(output.c_str());
        return Failure(output, WavFailure(result, writer.SystemError()));
    }
    std::printf("%s: %zu transmission%s, %zu samples (%.2f s) at %s bps\n", output.c_str(), pictures.size(),
                pictures.size() == 1 ? "" : "s", written, static_cast<double>(written) / kSampleRate,
                BitrateLabel(samplesPerBit));
    return 0;
}

// What decode was asked for.
struct DecodeOptions {
    std::int32_t samplesPerBit = 0;  // 0: each transmission at the rate found
    bool robust = true;
    PictureFormat format = PictureFormat::Png;
    std::filesystem::path directory;
};

// Each receiver's level line.
template <class Sink>
std::string LevelLineOf(const ReceiveChain<Sink>& receiver)
{
    return LevelLine(receiver.tracker);
}
template <class Sink>
std::string LevelLineOf(const RobustReceiver<Sink>& receiver)
{
    return LevelLine(receiver.Levels());
}

// The chosen receiver, telling the picture files the rate it is set to. A
// change of rate ends the transmission before it, whose last row would
// only complete with the next transmission at its own rate.
template <class Receiver>
class ReportedRate {
public:
    explicit ReportedRate(PictureFiles& files) : receiver(files), files_(files) {}

    void SetSamplesPerBit(std::int32_t samplesPerBit)
    {
        if (files_.samplesPerBit != 0 && samplesPerBit != files_.samplesPerBit) files_.EndOfTransmission();
        receiver.SetSamplesPerBit(samplesPerBit);
        files_.samplesPerBit = samplesPerBit;
    }
    // At full resolution where there is one and the receiver takes it.
    void Receive(std::span<const std::uint8_t> samples, std::span<const float> full)
    {
        if constexpr (requires { receiver.Receive(full); }) {
            if (!full.empty()) {
                receiver.Receive(full);
                return;
            }
        }
        receiver.Receive(samples);
    }

    Receiver receiver;

private:
    PictureFiles& files_;
};

// A recording's samples on their way to the receiver. A picture that cannot
// be written ends the reading at once, so a live input learns of it then,
// not when the input ends; so does a signal to stop, after which the tool
// finishes as at the end of the input.
template <class Input>
class Feed : public SampleSink {
public:
    Feed(Input& input, PictureFiles& pictures, ProgressLine& progress)
        : input_(input), pictures_(pictures), progress_(progress)
    {
    }

    bool Take(std::span<const std::uint8_t> chunk) override { return TakeFull(chunk, {}); }
    bool TakeFull(std::span<const std::uint8_t> chunk, std::span<const float> full) override
    {
        input_.Receive(chunk, full);
        return !pictures_.Failed() && StopSignal() == 0;
    }
    void Progress(std::int64_t frames, std::int64_t total) override
    {
        progress_.Update(frames, total, pictures_.Pictures());
    }

private:
    Input& input_;
    PictureFiles& pictures_;
    ProgressLine& progress_;
};

// A recording file: a plain 8-bit WAV (as encode writes) read directly,
// any other through the recording module.
bool ReadRecordingFile(const std::string& path, SampleSink& sink, std::string& error)
{
    if (const std::optional<bool> read = ReadPlainWav(path, sink, error)) return *read;
    return ReadRecordingThroughModule(path, sink, error);
}

// A run's status: the worst of its recordings'.
int Worse(int status, int other) { return status == kExitFailure || other == kExitFailure ? kExitFailure : std::max(status, other); }

// Every recording through one receiver of the chosen kind, which alone runs.
template <class Receiver>
int DecodeWith(const DecodeOptions& options, const std::vector<std::string>& recordings, PictureFiles& pictures)
{
    ReportedRate<Receiver> station(pictures);
    const bool follow = options.samplesPerBit == 0;
    using Input = AutoRate<ReportedRate<Receiver>>;
    Input input(station, follow ? kInitialSamplesPerBit : options.samplesPerBit, follow,
                options.robust ? Input::kMostLeadIn : 0, options.robust);
    const auto preambles = [&] {
        std::int64_t found = 0;
        for (const BitRate& rate : kBitRates) found += input.finder.Count(rate.samplesPerBit);
        return found;
    };
    InstallStopSignals();
    int status = 0;
    for (const std::string& recording : recordings) {
        if (StopSignal() != 0) break;
        const std::string name = recording == "-" ? "standard input" : recording;
        ProgressLine progress(recording == "-" ? "" : name);
        pictures.progress = &progress;
        pictures.syncEachPicture = recording == "-";
        Feed feed(input, pictures, progress);
        std::string error;
        const bool read = recording == "-" ? ReadRawSamples(STDIN_FILENO, feed, error)
                                           : ReadRecordingFile(recording, feed, error);
        input.Flush();
        pictures.progress = nullptr;
        progress.Clear();
        if (pictures.Failed()) return Failure(pictures.FailedPath(), pictures.Error());
        if (!read) {
            // Reported, and the other recordings decoded all the same.
            Failure(name, "cannot read recording: " + error);
            status = kExitFailure;
            continue;
        }
        // A transmission cut off: too short, and its last rows never came.
        // (Row 59 of a whole one only completes with the next transmission.)
        const std::int32_t rows = station.receiver.decoder.linesSinceStart;
        if (StopSignal() == 0 && input.InsideTransmission() && rows < kPictureHeight - 1) {
            Failure(name, "ends inside a transmission: " + std::to_string(rows) + " of its 60 rows received");
            status = Worse(status, kExitIncomplete);
        }
    }
    pictures.EndOfInput();
    if (pictures.Failed()) return Failure(pictures.FailedPath(), pictures.Error());

    std::printf("%ld picture%s, %ld lines\n%s\n", pictures.Pictures(), pictures.Pictures() == 1 ? "" : "s",
                pictures.Lines(), LevelLineOf(station.receiver).c_str());
    if (!follow && input.finder.Count(options.samplesPerBit) == 0) {
        for (const BitRate& rate : kBitRates) {
            if (input.finder.Count(rate.samplesPerBit) == 0) continue;
            std::fprintf(stderr, "telvane-cli: no transmission at %s bps found; the signal looks like %s bps "
                         "(--bitrate %s, or auto)\n", BitrateLabel(options.samplesPerBit), rate.bitsPerSecond,
                         rate.bitsPerSecond);
            return Worse(status, kExitIncomplete);
        }
    }
    if (pictures.Lines() == 0 && status == 0) {
        if (preambles() == 0) {
            std::fprintf(stderr, "telvane-cli: no transmission found\n");
        } else {
            std::fprintf(stderr, "telvane-cli: %lld transmission%s found, but not one line received%s\n",
                         static_cast<long long>(preambles()), preambles() == 1 ? "" : "s",
                         options.robust ? "" : " (--receiver robust copes with weaker and more distorted signals)");
        }
        return kExitIncomplete;
    }
    return status;
}

int Decode(Arguments& args)
{
    DecodeOptions options;
    std::string option;
    while (args.NextOption(option)) {
        const std::optional<std::string> value = args.Value();
        if (!value) return UsageError(option + " needs a value");
        if (option == "--bitrate") {
            if (*value == "auto") {
                options.samplesPerBit = 0;
            } else if (!ParseBitrate(*value, options.samplesPerBit, true)) {
                return kExitUsage;
            }
        } else if (option == "--receiver") {
            if (*value != "exact" && *value != "robust")
                return UsageError("receiver must be exact or robust, not '" + *value + "'");
            options.robust = *value == "robust";
        } else if (option == "--format") {
            if (*value != "png" && *value != "pgm") return UsageError("format must be png or pgm, not '" + *value + "'");
            options.format = *value == "pgm" ? PictureFormat::Pgm : PictureFormat::Png;
        } else if (option == "-o") {
            if (value->empty()) return UsageError("-o needs a directory");
            options.directory = *value;
        } else {
            return UsageError("unknown option " + option + " for decode");
        }
    }
    const std::vector<std::string>& recordings = args.Operands();
    if (recordings.empty()) return UsageError("decode needs at least one RECORDING (or - for standard input)");

    if (!options.directory.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.directory, ec);
        if (ec) return Failure(options.directory.string(), "cannot create directory: " + ec.message());
    }

    std::error_code ec;
    const std::optional<long> lastNumber = HighestPictureNumber(options.directory, ec);
    if (!lastNumber) {
        return Failure(options.directory.empty() ? "." : options.directory.string(),
                       "cannot list the pictures already there: " + ec.message());
    }
    PictureFiles pictures(options.directory, options.format, *lastNumber);
    return options.robust ? DecodeWith<RobustReceiver<PictureFiles>>(options, recordings, pictures)
                          : DecodeWith<ReceiveChain<PictureFiles>>(options, recordings, pictures);
}

// Output lost to a full disk is a failure too, even where all else went well.
int CheckStandardOutput(int status)
{
    const bool flushed = std::fflush(stdout) == 0;
    const int flushErrno = errno;
    if (flushed && std::ferror(stdout) == 0) return status;
    std::fprintf(stderr, "telvane-cli: standard output: cannot write%s%s\n", flushed ? "" : ": ",
                 flushed ? "" : std::strerror(flushErrno));
    return status == 0 ? kExitFailure : status;
}

int Run(int argc, char** argv)
{
#ifdef __GLIBC__
    // Each picture's PNG compressor takes some 260 KB, beyond glibc's
    // threshold for mapping memory of its own: mapped and unmapped for
    // every picture, its pages fault in anew each time. Kept in the heap,
    // a decode is 10 to 15 % faster.
    mallopt(M_MMAP_THRESHOLD, 8 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
    // Past a file-size limit (ulimit -f) a write fails as on a full disk,
    // and is reported as such, rather than killing the tool midway.
    signal(SIGXFSZ, SIG_IGN);
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
    try {
        if (command == "encode") return Encode(args);
        if (command == "decode") return Decode(args);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "telvane-cli: out of memory\n");
        return kExitFailure;
    }
    return UsageError("unknown command '" + std::string(command) + "'");
}

}  // namespace

int main(int argc, char** argv)
{
    const int status = CheckStandardOutput(Run(argc, argv));
    EndAsStopSignalled();
    return status;
}
