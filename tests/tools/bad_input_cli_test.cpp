// telvane-cli on input it cannot use and output it cannot write: one line
// naming the file, exit status 1, and nothing already written lost.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/picture.hpp"
#include "cli_test_support.hpp"
#include "support/working_directory.hpp"

namespace fs = std::filesystem;

namespace {

void Spit(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void PutU32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// Standard error is the tool's one line, "telvane-cli: what: reason...":
// no library speaks before it.
void ExpectOneLineNaming(const CliRun& run, const std::string& what, const std::string& reason)
{
    EXPECT_EQ(run.err.rfind("telvane-cli: " + what + ": " + reason, 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_TRUE(run.err.ends_with("\n")) << run.err;
}

// Rows 0 to 58 as sent (255 goes out as 254).
void ExpectRowsOf(const Picture& sent, const fs::path& png)
{
    const QImage image = QImage(QString::fromStdString(png.string())).convertToFormat(QImage::Format_Grayscale8);
    ASSERT_EQ(image.width(), kPictureWidth) << png;
    ASSERT_EQ(image.height(), kPictureHeight) << png;
    for (int y = 0; y < kPictureHeight - 1; ++y)
        for (int x = 0; x < kPictureWidth; ++x)
            ASSERT_EQ(image.constScanLine(y)[x], sent[y][x] == 255 ? 254 : sent[y][x]) << png << " row " << y;
}

// While it lives, files written by the tools this process starts stop at
// a number of bytes, as under ulimit -f: a write beyond raises SIGXFSZ,
// which kills a program that does not ignore it. (This process writes no
// file meanwhile.)
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &previous_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
};

class BadInputCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(GreyImage(first_).save(QString::fromStdString(Path("first.png")), "png"));
        ASSERT_TRUE(GreyImage(second_).save(QString::fromStdString(Path("second.png")), "png"));
        ASSERT_EQ(Cli({"encode", "-o", Path("good.wav"), Path("first.png"), Path("second.png")}).status, 0);
        good_ = Slurp(Path("good.wav"));
        ASSERT_GT(good_.size(), 44u + 200000u);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // The tool with its arguments (single-quoted), standard input from
    // stdinPath.
    CliRun Cli(const std::vector<std::string>& args, const std::string& stdinPath = "/dev/null") const
    {
        return RunCli(dir_, args, stdinPath);
    }

    // A directory in which no file can be created. Permissions do not stop
    // root, so there it is /proc, where nobody can create files.
    std::string ReadOnlyDirectory()
    {
        if (geteuid() != 0) {
            const std::string path = Path("read-only");
            fs::create_directory(path);
            fs::permissions(path, fs::perms::owner_read | fs::perms::owner_exec);
            return path;
        }
        return "/proc";
    }

    TemporaryDirectory directory_{"telvane-bad"};
    const fs::path dir_ = directory_.Path();
    const Picture first_ = RandomPicture(11);
    const Picture second_ = RandomPicture(12);
    std::string good_;
};

TEST_F(BadInputCli, UnreadableRecordingsFailWithOneLineAndKeepThePicturesBeforeThem)
{
    std::mt19937 random(3);
    std::string noise(20000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    std::string garbage = "RIFF" + std::string(4, '\0') + "WAVE" + noise;
    PutU32(garbage, 4, static_cast<std::uint32_t>(garbage.size() - 8));
    // "fmt " claims 2 GiB, far beyond the end of the file.
    std::string hugeFormat = good_.substr(0, 1044);
    PutU32(hugeFormat, 16, 0x7FFFFFF0u);
    std::string noChannels = good_.substr(0, 1044);
    noChannels[22] = noChannels[23] = '\0';
    std::string oneHertz = good_.substr(0, 1044);
    PutU32(oneHertz, 24, 1);
    std::string hugeRate = good_.substr(0, 1044);
    PutU32(hugeRate, 24, 0xFFFFFFFFu);

    Spit(Path("zero-length.wav"), "");
    Spit(Path("cut-in-header.wav"), good_.substr(0, 30));
    Spit(Path("riff-garbage.wav"), garbage);
    Spit(Path("huge-fmt.wav"), hugeFormat);
    Spit(Path("no-channels.wav"), noChannels);
    Spit(Path("one-hertz.wav"), oneHertz);
    Spit(Path("huge-rate.wav"), hugeRate);
    Spit(Path("random.wav"), noise);
    fs::copy_file(Path("first.png"), Path("picture.wav"));
    fs::create_directory(Path("directory.wav"));

    int n = 0;
    for (const auto& [name, reason] : std::vector<std::pair<std::string, std::string>>{
             {"zero-length.wav", ""},
             {"cut-in-header.wav", ""},
             {"riff-garbage.wav", ""},
             {"huge-fmt.wav", ""},
             {"no-channels.wav", ""},
             {"one-hertz.wav", "sample rate 1 Hz is not supported"},
             {"huge-rate.wav", "no valid sample rate or number of channels"},
             {"random.wav", ""},
             {"picture.wav", ""},
             {"directory.wav", "Is a directory"}}) {
        SCOPED_TRACE(name);
        const std::string bad = Path(name);
        const std::string alone = Path("alone" + std::to_string(n));
        const CliRun run = Cli({"decode", "-o", alone, bad});
        EXPECT_EQ(run.status, 1);
        ExpectOneLineNaming(run, bad, "cannot read recording: " + reason);
        EXPECT_TRUE(fs::is_empty(alone));

        // Among others: it is reported, and the rest are decoded.
        const std::string among = Path("among" + std::to_string(n++));
        const CliRun mixed = Cli({"decode", "-o", among, bad, Path("good.wav")});
        EXPECT_EQ(mixed.status, 1);
        ExpectOneLineNaming(mixed, bad, "cannot read recording: ");
        ExpectRowsOf(first_, fs::path(among) / "rx0001.png");
        ExpectRowsOf(second_, fs::path(among) / "rx0002.png");
        EXPECT_NE(mixed.out.find("picture 2: "), std::string::npos) << mixed.out;
    }

    // A directory as standard input cannot be read either.
    const CliRun fromDirectory = Cli({"decode", "-o", Path("stdin"), "-"}, Path("directory.wav"));
    EXPECT_EQ(fromDirectory.status, 1);
    ExpectOneLineNaming(fromDirectory, "standard input", "cannot read recording: ");
}

// What there is is decoded, and the cut is reported.
TEST_F(BadInputCli, DataCutShortOrOverstatedDecodesWhatThereIs)
{
    // Cut in the second transmission, as by a recorder that stopped: the
    // header still claims the whole length.
    const std::string cut = good_.substr(0, good_.size() * 3 / 4);
    // The same bytes with sizes claiming some 4 GiB of samples.
    std::string overstated = cut;
    PutU32(overstated, 4, 0xFFFFFFF8u);
    PutU32(overstated, 40, 0xFFFFFFD0u);
    Spit(Path("cut.wav"), cut);
    Spit(Path("overstated.wav"), overstated);

    for (const char* name : {"cut.wav", "overstated.wav"}) {
        SCOPED_TRACE(name);
        const std::string out = Path(std::string("rx-") + name);
        const CliRun run = Cli({"decode", "-o", out, Path(name)});
        EXPECT_EQ(run.status, 3);
        ExpectOneLineNaming(run, Path(name), "ends inside a transmission: ");
        ExpectRowsOf(first_, fs::path(out) / "rx0001.png");
        // The rows of the second transmission that were recorded.
        EXPECT_NE(run.out.find("rx0002.png (5500 bps; end of input, "), std::string::npos) << run.out;
        EXPECT_FALSE(fs::exists(fs::path(out) / "rx0003.png"));
    }
}

TEST_F(BadInputCli, CorruptOrCutImagesFailWithOneLineAndWriteNoRecording)
{
    const std::string png = Slurp(Path("first.png"));
    std::string badCheck = png;
    badCheck[png.find("IDAT") + 20] ^= 0x55;  // inside the compressed pixels
    const QImage colour = GreyImage(first_).convertToFormat(QImage::Format_RGB32).scaled(320, 240);
    ASSERT_TRUE(colour.save(QString::fromStdString(Path("whole.jpg")), "jpg"));
    const std::string jpeg = Slurp(Path("whole.jpg"));
    std::mt19937 random(4);
    std::string noise(5000, '\0');
    for (char& c : noise) c = static_cast<char>(random());

    Spit(Path("cut.png"), png.substr(0, png.size() / 2));
    Spit(Path("cut-in-header.png"), png.substr(0, 20));
    Spit(Path("bad-check.png"), badCheck);
    // Qt paints the missing part of a cut JPEG grey and only warns.
    Spit(Path("cut.jpg"), jpeg.substr(0, jpeg.size() * 6 / 10));
    Spit(Path("cut-in-header.jpg"), jpeg.substr(0, 200));
    Spit(Path("zero-length.png"), "");
    Spit(Path("random.png"), noise);
    fs::create_directory(Path("directory.png"));
    // Beyond Qt's allocation limit, here lowered to 1 MB.
    ASSERT_TRUE(QImage(600, 600, QImage::Format_Grayscale8).save(QString::fromStdString(Path("large.png")), "png"));
    setenv("QT_IMAGEIO_MAXALLOC", "1", 1);

    for (const auto& [name, reason] : std::vector<std::pair<std::string, std::string>>{
             {"cut.png", "truncated image"},
             {"cut-in-header.png", "truncated image"},
             {"bad-check.png", "corrupt image data"},
             {"cut.jpg", "truncated image"},
             {"cut-in-header.jpg", "corrupt image data"},
             {"zero-length.png", "empty file"},
             {"random.png", "not a PNG file"},
             {"large.png", "image too large: 600 \u00d7 600"},
             {"directory.png", "Is a directory"},
             {"good.wav", "not an image file"}}) {
        SCOPED_TRACE(name);
        fs::remove(Path("out.wav"));
        const CliRun run = Cli({"encode", "-o", Path("out.wav"), Path("first.png"), Path(name)});
        EXPECT_EQ(run.status, 1);
        ExpectOneLineNaming(run, Path(name), "cannot read image: " + reason);
        EXPECT_FALSE(fs::exists(Path("out.wav")));
    }
    unsetenv("QT_IMAGEIO_MAXALLOC");
}

// Images, and recordings of other kinds than plain 8-bit WAVs, are read by
// modules of their own: a tool installed without them says so for such a
// file, and decodes a plain WAV all the same.
TEST_F(BadInputCli, WithoutItsModulesTheToolSaysSoAndStillDecodesPlainWavs)
{
    const fs::path lone = Path("lone");
    fs::create_directory(lone);
    fs::copy_file(TELVANE_CLI, lone / "telvane-cli");
    const auto quoted = [](const std::string& text) {
        std::string q = " '";
        q += text;
        q += '\'';
        return q;
    };
    const std::string cli = quoted((lone / "telvane-cli").string());
    const int encode = std::system(
        (cli + " encode -o" + quoted(Path("lone.wav")) + quoted(Path("first.png")) + " 2>" + quoted(Path("lone.err"))).c_str());
    EXPECT_EQ(WEXITSTATUS(encode), 1);
    const std::string err = Slurp(Path("lone.err"));
    std::string expected = "telvane-cli: ";
    expected += Path("first.png") + ": cannot read image: the image reader could not be loaded";
    EXPECT_EQ(err.rfind(expected, 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_FALSE(fs::exists(Path("lone.wav")));

    // Plain WAVs need no module: also with chunks the reader does not know,
    // odd-sized ones with their pad byte, and a longer format chunk.
    const std::string riff = good_.substr(0, 12);
    const std::string format = good_.substr(12, 24);  // "fmt ", 16, and its 16 bytes
    const std::string data = good_.substr(36);
    std::string longFormat = format + std::string(2, '\0');  // with a cbSize of 0
    PutU32(longFormat, 4, 18);
    const std::string list = std::string("LIST") + '\3' + std::string(3, '\0') + "abc" + '\0';
    const std::string fact = std::string("fact") + '\4' + std::string(7, '\0');
    int n = 0;
    for (std::string layout : {good_, riff + list + format + data, riff + longFormat + data, riff + format + fact + data}) {
        SCOPED_TRACE(n);
        PutU32(layout, 4, static_cast<std::uint32_t>(layout.size() - 8));
        const std::string name = Path("layout" + std::to_string(n) + ".wav");
        const std::string out = Path("lone-out" + std::to_string(n++));
        Spit(name, layout);
        const int decode = std::system((cli + " decode -o" + quoted(out) + quoted(name) + " >/dev/null").c_str());
        EXPECT_EQ(WEXITSTATUS(decode), 0);
        ExpectRowsOf(first_, fs::path(out) / "rx0001.png");
        ExpectRowsOf(second_, fs::path(out) / "rx0002.png");
    }

    // Recordings other than plain 8-bit WAVs need the recording module.
    std::string wide = good_;
    wide[32] = 2;   // block align: 2 bytes
    wide[34] = 16;  // bits per sample
    PutU32(wide, 28, 44100);
    Spit(Path("wide.wav"), wide);
    const int wideDecode = std::system((cli + " decode -o" + quoted(Path("lone-out")) + quoted(Path("wide.wav")) +
                                        " >/dev/null 2>" + quoted(Path("wide.err"))).c_str());
    EXPECT_EQ(WEXITSTATUS(wideDecode), 1);
    const std::string wideErr = Slurp(Path("wide.err"));
    EXPECT_NE(wideErr.find("wide.wav: cannot read recording: the recording reader could not be loaded"),
              std::string::npos) << wideErr;
}

TEST_F(BadInputCli, OutputThatCannotBeWrittenFailsWithOneLine)
{
    const std::string readOnly = ReadOnlyDirectory();
    const std::string inReadOnly = readOnly + "/out.wav";
    for (const auto& [output, reason] : std::vector<std::pair<std::string, std::string>>{
             {"/dev/full", "cannot write the audio data: "},
             {inReadOnly, "cannot create or open the file for writing: "},
             {dir_.string(), "cannot create or open the file for writing: "}}) {
        SCOPED_TRACE(output);
        const CliRun run = Cli({"encode", "-o", output, Path("first.png")});
        EXPECT_EQ(run.status, 1);
        ExpectOneLineNaming(run, output, reason);
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    EXPECT_FALSE(fs::exists(inReadOnly));

    // The tool's own report onto a full disk.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"encode", "-o", Path("out.wav"), Path("first.png")},
          std::vector<std::string>{"decode", "-o", Path("rx"), Path("good.wav")}}) {
        SCOPED_TRACE(args[0]);
        std::string command = std::string("'") + TELVANE_CLI + "'";
        for (const std::string& arg : args) command += " '" + arg + "'";
        const int raw = std::system((command + " >/dev/full 2>'" + Path("stderr") + "' </dev/null").c_str());
        const CliRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, "", Slurp(Path("stderr"))};
        EXPECT_EQ(run.status, 1);
        ExpectOneLineNaming(run, "standard output", "cannot write: ");
    }

    // Pictures onto a disk that fills up midway, into a directory where they
    // cannot be created, and into no directory.
    for (const char* format : {"png", "pgm"}) {
        SCOPED_TRACE(format);
        const std::string full = Path(std::string("full-") + format);
        fs::create_directory(full);
        CliRun run;
        {
            const FileSizeLimit limit(1000);
            run = Cli({"decode", "--format", format, "-o", full, Path("good.wav")});
        }
        EXPECT_EQ(run.status, 1);
        ExpectOneLineNaming(run, full + "/rx0001." + format, "cannot write picture: ");
        EXPECT_EQ(run.out.find("picture 1"), std::string::npos) << "a lost picture reported as written:\n" << run.out;
        EXPECT_TRUE(fs::is_empty(full)) << "a cut-short picture or its temporary file is left";

        const CliRun readOnlyRun = Cli({"decode", "--format", format, "-o", readOnly, Path("good.wav")});
        EXPECT_EQ(readOnlyRun.status, 1);
        ExpectOneLineNaming(readOnlyRun, readOnly + "/rx0001." + format, "cannot write picture: ");
        EXPECT_FALSE(fs::exists(readOnly + "/rx0001." + format));
    }
    CliRun limited;
    {
        const FileSizeLimit limit(1000);
        limited = Cli({"encode", "-o", Path("limited.wav"), Path("first.png")});
    }
    EXPECT_EQ(limited.status, 1);
    ExpectOneLineNaming(limited, Path("limited.wav"), "cannot write the audio data: ");
    EXPECT_FALSE(fs::exists(Path("limited.wav"))) << "a cut-short recording is left";

    const CliRun intoDevice = Cli({"decode", "-o", "/dev/full", Path("good.wav")});
    EXPECT_EQ(intoDevice.status, 1);
    ExpectOneLineNaming(intoDevice, "/dev/full", "cannot create directory: ");
}

// Live input hears of a picture that cannot be written at once: the tool
// says so and stops reading, long before the input would end.
TEST_F(BadInputCli, LiveDecodeStopsAtTheFirstPictureThatCannotBeWritten)
{
    const std::string readOnly = ReadOnlyDirectory();
    const std::string samples = good_.substr(44) + good_.substr(44);
    const FedRun live = RunCliFed(dir_, {"decode", "-o", readOnly, "-"}, samples);
    EXPECT_EQ(live.run.status, 1);
    ExpectOneLineNaming(live.run, readOnly + "/rx0001.png", "cannot write picture: ");
    EXPECT_LT(live.fed, samples.size() / 2);
}

}  // namespace
