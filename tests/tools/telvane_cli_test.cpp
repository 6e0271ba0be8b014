// End-to-end tests of telvane-cli: the real program on real files.

#include <gtest/gtest.h>
#include <samplerate.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <csignal>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tx/frame_reduction.hpp"
#include "common/picture.hpp"
#include "common/samples.hpp"
#include "cli_test_support.hpp"
#include "support/working_directory.hpp"
#include "tx/transmit_chain.hpp"

namespace fs = std::filesystem;

namespace {

class CliTest : public ::testing::Test {
protected:
    fs::path Path(const std::string& name) const { return dir_ / name; }

    // Runs the tool with its arguments (single-quoted for the shell).
    CliRun Cli(const std::vector<std::string>& args, const std::string& stdinFile = "") const
    {
        return RunCli(dir_, args, stdinFile.empty() ? "/dev/null" : stdinFile);
    }

    TemporaryDirectory directory_{"telvane-cli"};
    const fs::path dir_ = directory_.Path();
};

void SaveGrey(const Picture& picture, const fs::path& path)
{
    ASSERT_TRUE(GreyImage(picture).save(QString::fromStdString(path.string()), "png"));
}

Picture LoadGrey(const fs::path& path)
{
    const std::string bytes = Slurp(path);  // Qt would take the name as UTF-8
    const QImage image = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()))
                             .convertToFormat(QImage::Format_Grayscale8);
    EXPECT_EQ(image.width(), kPictureWidth);
    EXPECT_EQ(image.height(), kPictureHeight);
    Picture picture{};
    for (int y = 0; y < kPictureHeight && y < image.height(); ++y)
        for (int x = 0; x < kPictureWidth && x < image.width(); ++x) picture[y][x] = image.constScanLine(y)[x];
    return picture;
}

// Rows 0 to 58 arrive exactly, with 255 sent as 254; row 59's tail only
// leaves with the next transmission.
void ExpectReceived(const Picture& sent, const Picture& received)
{
    for (int y = 0; y < kPictureHeight - 1; ++y)
        for (int x = 0; x < kPictureWidth; ++x)
            ASSERT_EQ(received[y][x], sent[y][x] == 255 ? 254 : sent[y][x]) << "row " << y << " column " << x;
}

std::vector<std::uint8_t> Transmissions(const std::vector<Picture>& pictures)
{
    SamplesPerBit samplesPerBit{4};
    TransmitChain chain(samplesPerBit);
    std::vector<std::uint8_t> samples;
    std::vector<std::uint8_t> buffer(kMaxTransmissionSamples);
    for (const Picture& picture : pictures) {
        const std::size_t count = EncodeTransmission(chain, picture, buffer.data());
        samples.insert(samples.end(), buffer.begin(), buffer.begin() + static_cast<long>(count));
    }
    return samples;
}

// At the rate given, or at the rate found, which each picture reports.
TEST_F(CliTest, RoundTripsPicturesAtEveryBitRate)
{
    const Picture first = RandomPicture(1);
    const Picture second = RandomPicture(2);
    SaveGrey(first, Path("first.png"));
    SaveGrey(second, Path("second.png"));
    for (const std::string bitrate : {"5500", "8250", "11000"}) {
        const CliRun encode = Cli({"encode", "--bitrate", bitrate, "-o", Path("tx.wav"), Path("first.png"),
                                Path("second.png")});
        ASSERT_EQ(encode.status, 0) << encode.err;
        for (const std::string receiver : {"exact", "robust"}) {
            for (const std::string& asked : {bitrate, std::string("auto")}) {
                SCOPED_TRACE(bitrate + " bps, " + receiver + ", --bitrate " + asked);
                const fs::path out = Path("rx-" + bitrate + "-" + receiver + "-" + asked);
                // Options may follow the operands.
                const CliRun decode =
                    Cli({"decode", "--bitrate=" + asked, Path("tx.wav"), "-o", out, "--receiver", receiver});
                ASSERT_EQ(decode.status, 0) << decode.err;
                // The second picture has 59 rows when the recording ends; it
                // is written all the same.
                EXPECT_NE(decode.out.find("2 pictures, 119 lines"), std::string::npos) << decode.out;
                EXPECT_NE(decode.out.find("rx0002.png (" + bitrate + " bps; end of input"), std::string::npos)
                    << decode.out;
                ExpectReceived(first, LoadGrey(out / "rx0001.png"));
                ExpectReceived(second, LoadGrey(out / "rx0002.png"));
            }
        }
    }
}

// One stream of transmissions at all three rates in turn, after a little
// noise: each picture at its own rate, and none from the noise.
TEST_F(CliTest, ARecordingOfSeveralRatesDecodesEachAtItsOwn)
{
    std::vector<Picture> sent;
    std::string stream;
    std::mt19937 random(30);
    for (int i = 0; i < 200000; ++i) stream += static_cast<char>(128 + static_cast<int>(random() % 61) - 30);
    for (const std::string bitrate : {"11000", "5500", "8250"}) {
        sent.push_back(RandomPicture(static_cast<unsigned>(40 + sent.size())));
        SaveGrey(sent.back(), Path("p.png"));
        ASSERT_EQ(Cli({"encode", "--bitrate", bitrate, "-o", Path("tx.wav"), Path("p.png"), Path("p.png")}).status, 0);
        stream += Slurp(Path("tx.wav")).substr(44);
    }
    std::ofstream(Path("mixed.u8"), std::ios::binary) << stream;
    for (const std::string receiver : {"exact", "robust"}) {
        SCOPED_TRACE(receiver);
        const fs::path out = Path("rx-" + receiver);
        const CliRun decode = Cli({"decode", "--receiver", receiver, "-o", out, "-"}, Path("mixed.u8"));
        ASSERT_EQ(decode.status, 0) << decode.err;
        EXPECT_NE(decode.out.find("6 pictures"), std::string::npos) << decode.out;
        int n = 1;
        for (std::size_t i = 0; i < sent.size(); ++i) {
            for (int copy = 0; copy < 2; ++copy, ++n) {
                const std::string name = "rx000" + std::to_string(n) + ".png";
                SCOPED_TRACE(name);
                ExpectReceived(sent[i], LoadGrey(out / name));
                const char* rate = i == 0 ? "11000" : i == 1 ? "5500" : "8250";
                EXPECT_NE(decode.out.find(name + " (" + rate + " bps"), std::string::npos) << decode.out;
            }
        }
    }
}

TEST_F(CliTest, ReducesAFrameSizedColourImageAsACameraFrame)
{
    // Build the camera frame (top row first, red-green-blue) and the image
    // from the same pixel colours.
    std::mt19937 random(7);
    std::vector<std::uint8_t> frame(kFrameBytes);
    QImage image(kFrameWidth, kFrameHeight, QImage::Format_RGB32);
    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            const int red = static_cast<int>(random() % 256), green = static_cast<int>(random() % 256),
                      blue = static_cast<int>(random() % 256);
            image.setPixel(x, y, qRgb(red, green, blue));
            std::uint8_t* pixel = frame.data() + kFrameStride * y + kFrameBytesPerPixel * x;
            pixel[0] = static_cast<std::uint8_t>(red);
            pixel[1] = static_cast<std::uint8_t>(green);
            pixel[2] = static_cast<std::uint8_t>(blue);
        }
    }
    ASSERT_TRUE(image.save(QString::fromStdString(Path("colour.png").string()), "png"));
    Picture expected{};
    ReduceFrame(frame.data(), expected);

    ASSERT_EQ(Cli({"encode", "-o", Path("tx.wav"), Path("colour.png")}).status, 0);
    const CliRun decode = Cli({"decode", "--format", "pgm", "-o", Path("rx"), Path("tx.wav")});
    ASSERT_EQ(decode.status, 0) << decode.err;
    const std::string pgm = Slurp(Path("rx") / "rx0001.pgm");
    const std::string header = "P5\n80 60\n255\n";
    ASSERT_EQ(pgm.size(), header.size() + 4800);
    ASSERT_EQ(pgm.substr(0, header.size()), header);
    Picture received{};
    std::memcpy(received.data(), pgm.data() + header.size(), 4800);
    ExpectReceived(expected, received);
}

// At full level, and 40 dB down as a quiet sound-card input gives it, after
// half a second of quiet: the robust receiver (the default) takes the 16
// bits whole, the exact one the 8 bits a sound card would deliver, and says
// it got nothing.
TEST_F(CliTest, DecodesA16BitStereo48kHzRecording)
{
    const std::vector<Picture> sent = {RandomPicture(3), RandomPicture(4)};
    const std::vector<std::uint8_t> samples = Transmissions(sent);
    for (const double gain : {1.0, 0.01}) {
        // As another program would record it: resampled to 48 kHz, two channels.
        std::vector<float> in(kSampleRate / 2, 0.0F);
        for (std::uint8_t sample : samples) in.push_back(static_cast<float>(gain * (sample - 128) / 128.0));
        const double ratio = 48000.0 / kSampleRate;
        std::vector<float> out(static_cast<std::size_t>(in.size() * ratio) + 1024);
        SRC_DATA data{in.data(), out.data(), static_cast<long>(in.size()), static_cast<long>(out.size()), 0, 0, 1, ratio};
        ASSERT_EQ(src_simple(&data, SRC_SINC_MEDIUM_QUALITY, 1), 0);
        std::vector<float> stereo;
        for (long i = 0; i < data.output_frames_gen; ++i) stereo.insert(stereo.end(), 2, out[i]);

        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* file = sf_open(Path("rec.wav").c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(sf_writef_float(file, stereo.data(), data.output_frames_gen), data.output_frames_gen);
        sf_close(file);

        // No --receiver: the robust one.
        for (const std::string receiver : {"exact", "robust", ""}) {
            SCOPED_TRACE(receiver + " at gain " + std::to_string(gain));
            const fs::path rx = Path("rx-" + receiver + std::to_string(gain));
            std::vector<std::string> arguments{"decode", "-o", rx, Path("rec.wav")};
            if (!receiver.empty()) arguments.insert(arguments.end(), {"--receiver", receiver});
            const CliRun decode = Cli(arguments);
            if (gain < 1.0 && receiver == "exact") {
                EXPECT_EQ(decode.status, 3);
                EXPECT_NE(decode.err.find("2 transmissions found, but not one line received"), std::string::npos)
                    << decode.err;
                continue;
            }
            ASSERT_EQ(decode.status, 0) << decode.err;
            ExpectReceived(sent[0], LoadGrey(rx / "rx0001.png"));
            ExpectReceived(sent[1], LoadGrey(rx / "rx0002.png"));
        }
    }
}

// Names are bytes to the file system; Latin-1 ones are not valid UTF-8.
TEST_F(CliTest, FileNamesNeedNotBeUtf8)
{
    const Picture sent = RandomPicture(10);
    SaveGrey(sent, Path("sent.png"));
    fs::rename(Path("sent.png"), Path("caf\xe9.png"));
    const CliRun encode = Cli({"encode", "-o", Path("\xe9t\xe9.wav"), Path("caf\xe9.png")});
    ASSERT_EQ(encode.status, 0) << encode.err;
    const CliRun decode = Cli({"decode", "-o", Path("re\xe7u"), Path("\xe9t\xe9.wav")});
    ASSERT_EQ(decode.status, 0) << decode.err;
    ExpectReceived(sent, LoadGrey(Path("re\xe7u") / "rx0001.png"));
}

TEST_F(CliTest, StandardInputDecodesLikeTheSameSamplesInAWavFile)
{
    const Picture sent = RandomPicture(5);
    SaveGrey(sent, Path("sent.png"));
    ASSERT_EQ(Cli({"encode", "--gap", "0.5", "-o", Path("tx.wav"), Path("sent.png"), Path("sent.png")}).status, 0);
    // The samples follow the 44-byte header of the 8-bit file.
    const std::string wav = Slurp(Path("tx.wav"));
    std::ofstream(Path("raw.u8"), std::ios::binary).write(wav.data() + 44, static_cast<long>(wav.size() - 44));

    const CliRun fromFile = Cli({"decode", "-o", Path("a"), Path("tx.wav")});
    const CliRun fromStdin = Cli({"decode", "-o", Path("b"), "-"}, Path("raw.u8"));
    // Standard input left non-blocking by whoever opened it, running dry.
    Feeding runningDry;
    runningDry.nonBlocking = true;
    const FedRun nonBlocking = RunCliFed(dir_, {"decode", "-o", Path("c"), "-"}, Slurp(Path("raw.u8")), runningDry);
    ASSERT_EQ(fromFile.status, 0) << fromFile.err;
    ASSERT_EQ(fromStdin.status, 0) << fromStdin.err;
    ASSERT_EQ(nonBlocking.run.status, 0) << nonBlocking.run.err;
    for (const std::string name : {"rx0001.png", "rx0002.png"}) {
        EXPECT_EQ(LoadGrey(Path("a") / name), LoadGrey(Path("b") / name)) << name;
        EXPECT_EQ(LoadGrey(Path("a") / name), LoadGrey(Path("c") / name)) << name;
    }
    ExpectReceived(sent, LoadGrey(Path("b") / "rx0002.png"));
}

// Pictures of an earlier decode stay: the numbers go on from the highest one
// of either format, however many digits it has; names the tool does not
// write do not count.
TEST_F(CliTest, DecodingIntoADirectoryWithPicturesNumbersOnFromThem)
{
    SaveGrey(RandomPicture(8), Path("sent.png"));
    ASSERT_EQ(Cli({"encode", "-o", Path("tx.wav"), Path("sent.png")}).status, 0);
    for (const auto& [existing, next] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"rx0003.png", "rx0007.pgm", "rx0100.txt", "rx0200.png.bak", "rx99.png", "rx12a4.png"}, "rx0008.png"},
             {{"rx0003.png", "rx1000000000000000.png"}, "rx1000000000000001.png"}}) {
        const fs::path out = Path("rx" + std::to_string(existing.size()));
        fs::create_directory(out);
        for (const std::string& name : existing) std::ofstream(out / name) << name;

        const CliRun decode = Cli({"decode", "-o", out, Path("tx.wav")});
        ASSERT_EQ(decode.status, 0) << decode.err;
        EXPECT_NE(decode.out.find("picture 1: " + (out / next).string()), std::string::npos) << decode.out;
        for (const std::string& name : existing) EXPECT_EQ(Slurp(out / name), name);
        EXPECT_FALSE(fs::exists(out / "rx0001.png"));
    }
}

// Another decode into the same directory takes the number this one would
// have taken next: this one moves on to the next free one.
TEST_F(CliTest, APictureWrittenMeanwhileIsNeverReplaced)
{
    const Picture sent = RandomPicture(12);
    const std::vector<std::uint8_t> samples = Transmissions({sent, sent});
    const fs::path out = Path("shared");
    Feeding meanwhile;
    meanwhile.whenReady = out;
    meanwhile.onceWaiting = [&] { std::ofstream(out / "rx0001.png") << "theirs"; };
    const FedRun live = RunCliFed(dir_, {"decode", "-o", out, "-"}, std::string(samples.begin(), samples.end()), meanwhile);
    ASSERT_EQ(live.run.status, 0) << live.run.err;
    EXPECT_EQ(Slurp(out / "rx0001.png"), "theirs");
    ExpectReceived(sent, LoadGrey(out / "rx0002.png"));
    EXPECT_NE(live.run.out.find("picture 2: " + (out / "rx0003.png").string()), std::string::npos) << live.run.out;
}

// A live station stopped by a signal writes the picture it was receiving
// and its summary, then ends as that signal ends a program.
TEST_F(CliTest, AStoppedLiveDecodeKeepsItsNewestPicture)
{
    std::vector<Picture> sent;
    for (unsigned seed = 20; seed < 26; ++seed) sent.push_back(RandomPicture(seed));
    const std::vector<std::uint8_t> samples = Transmissions(sent);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        const fs::path out = Path(std::string("live-") + std::to_string(signal));
        Feeding stopped;
        stopped.stopSignal = signal;
        const FedRun live = RunCliFed(dir_, {"decode", "-o", out, "-"}, std::string(samples.begin(), samples.end()), stopped);
        EXPECT_EQ(live.signal, signal) << live.run.err;
        ExpectReceived(sent[5], LoadGrey(out / "rx0006.png"));
        EXPECT_NE(live.run.out.find("6 pictures, 359 lines\n"), std::string::npos) << live.run.out;
        for (const fs::directory_entry& entry : fs::directory_iterator(out))
            EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
    }
}

// The file is written as it is made: an hour's gaps must not take an hour
// of samples' memory (here 40 MB of them).
TEST_F(CliTest, ALongGapNeedsNoMemoryForItsSamples)
{
    const Picture sent = RandomPicture(9);
    SaveGrey(sent, Path("sent.png"));
    const auto childPeakKilobytes = [] {
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        return usage.ru_maxrss;
    };
    ASSERT_EQ(Cli({"encode", "-o", Path("short.wav"), Path("sent.png"), Path("sent.png")}).status, 0);
    const long withoutGap = childPeakKilobytes();
    ASSERT_EQ(Cli({"encode", "--gap", "1800", "-o", Path("long.wav"), Path("sent.png"), Path("sent.png")}).status, 0);
    EXPECT_LT(childPeakKilobytes() - withoutGap, 8 * 1024) << "kilobytes more at the peak";

    const std::size_t first = Transmissions({sent}).size();
    const std::size_t samples = Transmissions({sent, sent}).size() + 1800 * kSampleRate;
    const std::string wav = Slurp(Path("long.wav"));
    ASSERT_EQ(wav.size(), 44 + samples + samples % 2);
    EXPECT_EQ(wav.substr(44, first), Slurp(Path("short.wav")).substr(44, first));
    EXPECT_EQ(wav.find_first_not_of('\x80', 44 + first), 44 + first + 1800 * kSampleRate);
}

TEST_F(CliTest, BadInputGetsAOneLineErrorAndKeepsWhatWasWritten)
{
    std::ofstream(Path("not-an-image.png")) << "hello";
    std::ofstream(Path("not-audio.wav")) << "RIFF but not really";
    SaveGrey(RandomPicture(6), Path("ok.png"));
    ASSERT_EQ(Cli({"encode", "-o", Path("ok.wav"), Path("ok.png"), Path("ok.png")}).status, 0);

    const struct {
        std::vector<std::string> args;
        int status;
        std::string named;  // what the message must name
    } cases[] = {
        {{"encode", "-o", Path("x.wav"), Path("missing.png")}, 1, Path("missing.png")},
        {{"encode", "-o", Path("x.wav"), Path("not-an-image.png")}, 1, Path("not-an-image.png")},
        {{"encode", "-o", Path("no/such/dir/x.wav"), Path("ok.png")}, 1, "cannot create or open"},
        {{"decode", "-o", Path("rx"), Path("not-audio.wav")}, 1, Path("not-audio.wav")},
        {{"decode", "-o", Path("ok.png") / "sub", Path("ok.wav")}, 1, "cannot create directory"},
        {{"encode", "-o", Path("x.wav"), dir_}, 1, dir_.string() + ": cannot read image: Is a directory"},
        {{"decode", "-o", Path("rx"), dir_}, 1, dir_.string() + ": cannot read recording: Is a directory"},
        {{"encode", "--bitrate", "9600", "-o", Path("x.wav"), Path("ok.png")}, 2, "5500, 8250 or 11000"},
        {{"encode", "--gap", "0x10", "-o", Path("x.wav"), Path("ok.png")}, 2, "seconds from 0 to 3600, not '0x10'"},
        {{"encode", "--gap", " 2", "-o", Path("x.wav"), Path("ok.png")}, 2, "seconds from 0 to 3600, not ' 2'"},
        {{"encode", "--gap", "1e3", "-o", Path("x.wav"), Path("ok.png")}, 2, "seconds from 0 to 3600, not '1e3'"},
        {{"encode", Path("ok.png")}, 2, "-o"},
        {{"decode", "--format", "gif", Path("ok.wav")}, 2, "png or pgm"},
        {{"decode", "--receiver", "fast", Path("ok.wav")}, 2, "exact or robust"},
        {{"decode", "--bitrate", "11000", "-o", Path("wrong"), Path("ok.wav")}, 3,
         "no transmission at 11000 bps found; the signal looks like 5500 bps"},
        {{"decode"}, 2, "RECORDING"},
        {{"transmit"}, 2, "transmit"},
        {{"encode", "-o", Path("ok.png"), Path("ok.png")}, 2, "output " + Path("ok.png").string() + " is also an input"},
        {{"encode", "-o", Path("link.png"), Path("ok.png")}, 2, "is also an input"},
    };
    fs::create_hard_link(Path("ok.png"), Path("link.png"));
    const std::string image = Slurp(Path("ok.png"));
    for (const auto& c : cases) {
        const CliRun run = Cli(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[0] << " " << c.named << "\n" << run.err;
        EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fs::exists(Path("x.wav")));
    EXPECT_EQ(Slurp(Path("ok.png")), image);

    // A good recording, then a bad one: the pictures of the first stay.
    const CliRun mixed = Cli({"decode", "-o", Path("rx"), Path("ok.wav"), Path("not-audio.wav")});
    EXPECT_EQ(mixed.status, 1);
    EXPECT_TRUE(fs::exists(Path("rx") / "rx0001.png"));
}

TEST_F(CliTest, HelpAndVersion)
{
    const CliRun help = Cli({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"encode", "decode", "--bitrate", "auto", "--gap", "--receiver", "--format", "parec",
                             "Exit status"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
    const CliRun version = Cli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("telvane-cli ", 0), 0u);
}

}  // namespace
