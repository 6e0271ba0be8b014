// Writes the seed corpora: make_seeds DIR fills DIR/recording,
// DIR/receive_chain and DIR/image. Every seed is made from fixed data, so a
// second run writes the same files, but for the date or random stream number
// some formats stamp in.
// Seeds are kept short: the fuzzers mutate the headers and the first
// samples, not whole transmissions.

#include <sndfile.h>

#include <QCoreApplication>
#include <QImage>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/picture.hpp"
#include "common/samples.hpp"
#include "tx/transmit_chain.hpp"
#include "tx/wav_writer.hpp"

namespace fs = std::filesystem;

namespace {

Picture TestPicture()
{
    std::mt19937 random(80);
    Picture picture{};
    for (int y = 0; y < kPictureHeight; ++y)
        for (int x = 0; x < kPictureWidth; ++x)
            picture[y][x] = static_cast<std::uint8_t>((x * 3 + y * 2 + static_cast<int>(random() % 16)) & 0xFF);
    return picture;
}

// Two transmissions of the test picture back to back, as the transmitter
// sends them at samplesPerBit; firstLength is the first one's.
std::vector<std::uint8_t> Transmissions(std::int32_t samplesPerBit, std::size_t* firstLength = nullptr)
{
    SamplesPerBit setting{samplesPerBit};
    TransmitChain chain(setting);
    std::vector<std::uint8_t> samples;
    std::vector<std::uint8_t> buffer(kMaxTransmissionSamples);
    for (int i = 0; i < 2; ++i) {
        const std::size_t count = EncodeTransmission(chain, TestPicture(), buffer.data());
        if (i == 0 && firstLength != nullptr) *firstLength = count;
        samples.insert(samples.end(), buffer.begin(), buffer.begin() + static_cast<long>(count));
    }
    return samples;
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// frames samples (from 0..255) at rate in every channel; false when
// libsndfile cannot write that format.
bool WriteRecording(const fs::path& path, int format, int rate, int channels, const std::vector<std::uint8_t>& samples,
                    std::size_t frames)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "make_seeds: skipped %s: %s\n", path.filename().c_str(), sf_strerror(nullptr));
        return false;
    }
    std::vector<float> interleaved;
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            interleaved.push_back((samples[i % samples.size()] - 128) / (128.0F + static_cast<float>(c)));
    sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(frames));
    sf_close(file);
    return true;
}

void MakeRecordings(const fs::path& dir)
{
    const std::vector<std::uint8_t> samples = Transmissions(2);
    // As telvane-cli encode writes it: the receiver's samples unchanged.
    const fs::path riff = dir / "telvane-u8-22050.riff";
    if (WavWriter().WriteWavFile(riff.c_str(), std::span<const std::uint8_t>(samples.data(), 3000), kSampleRate) !=
        WavResult::Written)
        std::fprintf(stderr, "make_seeds: cannot write %s\n", riff.c_str());

    const struct {
        const char* name;
        int format;
        int rate;
        int channels;
        std::size_t frames;
    } recordings[] = {
        {"pcm16-48000-stereo.riff", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, 1200},
        {"float-44100.riff", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1, 800},
        {"u8-11025.riff", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 11025, 1, 1500},
        {"u8-22050-wavex.riff", SF_FORMAT_WAVEX | SF_FORMAT_PCM_U8, 22050, 1, 1500},
        {"pcm16-22050-3ch.w64", SF_FORMAT_W64 | SF_FORMAT_PCM_16, 22050, 3, 500},
        {"pcm16-16000.rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 16000, 1, 800},
        {"ima-adpcm-22050.riff", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 22050, 1, 2000},
        {"ms-adpcm-8000-stereo.riff", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 8000, 2, 1000},
        {"gsm610-8000.riff", SF_FORMAT_WAV | SF_FORMAT_GSM610, 8000, 1, 1600},
        {"pcm24-96000.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 96000, 1, 600},
        {"ulaw-22050.au", SF_FORMAT_AU | SF_FORMAT_ULAW, 22050, 1, 1500},
        {"alaw-22050.caf", SF_FORMAT_CAF | SF_FORMAT_ALAW, 22050, 1, 1500},
        {"pcm16-22050.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 22050, 1, 3000},
        {"vorbis-22050.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 22050, 1, 3000},
        {"opus-48000.ogg", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 1, 3000},
        {"pcm16-22050.voc", SF_FORMAT_VOC | SF_FORMAT_PCM_16, 22050, 1, 800},
        {"pcm16-22050.nist", SF_FORMAT_NIST | SF_FORMAT_PCM_16, 22050, 1, 800},
        {"pcm16-22050.svx", SF_FORMAT_SVX | SF_FORMAT_PCM_16, 22050, 1, 800},
        {"double-22050.mat5", SF_FORMAT_MAT5 | SF_FORMAT_DOUBLE, 22050, 1, 400},
        {"dwvw12-22050.aiff", SF_FORMAT_AIFF | SF_FORMAT_DWVW_12, 22050, 1, 800},
    };
    for (const auto& r : recordings) WriteRecording(dir / r.name, r.format, r.rate, r.channels, samples, r.frames);
}

// Receive chain input: control byte, chunking byte, samples.
void WriteSamples(const fs::path& path, std::uint8_t control, std::uint8_t chunking,
                  const std::vector<std::uint8_t>& samples, std::size_t count)
{
    std::vector<std::uint8_t> bytes = {control, chunking};
    bytes.insert(bytes.end(), samples.begin(), samples.begin() + static_cast<long>(count));
    WriteBytes(path, bytes);
}

void MakeSampleSeeds(const fs::path& dir)
{
    const std::vector<std::uint8_t> at4 = Transmissions(4);
    const std::vector<std::uint8_t> at3 = Transmissions(3);
    std::size_t firstAt2 = 0;
    const std::vector<std::uint8_t> at2 = Transmissions(2, &firstAt2);
    // The preamble and the first few lines at each rate.
    WriteSamples(dir / "start-4", 0x00, 0x01, at4, 16000);
    WriteSamples(dir / "start-3", 0x05, 0x02, at3, 12000);
    WriteSamples(dir / "start-2", 0x0A, 0x04, at2, 8000);
    // One whole transmission and the flag that ends its last line: 60 lines
    // and the picture row reset.
    WriteSamples(dir / "whole-2", 0x0A, 0x07, at2, firstAt2 + 200);
    // Half at 4 samples per bit, half at 2.
    std::vector<std::uint8_t> switched(at4.begin(), at4.begin() + 8000);
    switched.insert(switched.end(), at2.begin(), at2.begin() + 8000);
    WriteSamples(dir / "switch-4-to-2", 0x88, 0x03, switched, switched.size());

    std::mt19937 random(5);
    std::vector<std::uint8_t> noise(4096);
    for (std::uint8_t& sample : noise) sample = static_cast<std::uint8_t>(random());
    WriteSamples(dir / "noise", 0x4B, 0x09, noise, noise.size());
    WriteSamples(dir / "silence", 0x00, 0x00, std::vector<std::uint8_t>(2000, kZeroLevel), 2000);
}

QImage Gradient(int width, int height, QImage::Format format)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgba((x * 255) / std::max(1, width - 1), (y * 255) / std::max(1, height - 1),
                                       ((x + y) * 7) & 0xFF, 255 - ((x * y) & 0x7F)));
    return image.convertToFormat(format);
}

void SaveImage(const QImage& image, const fs::path& path, const char* format, int quality = -1)
{
    if (!image.save(QString::fromStdString(path.string()), format, quality))
        std::fprintf(stderr, "make_seeds: cannot write %s\n", path.filename().c_str());
}

void MakeImages(const fs::path& dir)
{
    SaveImage(Gradient(80, 60, QImage::Format_Grayscale8), dir / "grey-80x60.png", "png");
    SaveImage(Gradient(80, 60, QImage::Format_Grayscale16), dir / "grey16-80x60.png", "png");
    SaveImage(Gradient(80, 60, QImage::Format_RGB32), dir / "colour-80x60.png", "png");
    SaveImage(Gradient(160, 120, QImage::Format_Indexed8), dir / "indexed-160x120.png", "png");
    SaveImage(Gradient(81, 61, QImage::Format_ARGB32), dir / "alpha-81x61.png", "png");
    SaveImage(Gradient(1, 1, QImage::Format_RGB32), dir / "1x1.png", "png");
    SaveImage(Gradient(200, 3, QImage::Format_RGB32), dir / "wide-200x3.png", "png");
    SaveImage(Gradient(3, 200, QImage::Format_RGB32), dir / "tall-3x200.png", "png");
    SaveImage(Gradient(80, 60, QImage::Format_Grayscale8), dir / "grey-80x60.pgm", "pgm");
    SaveImage(Gradient(7, 5, QImage::Format_RGB32), dir / "colour-7x5.ppm", "ppm");
    SaveImage(Gradient(17, 9, QImage::Format_Mono), dir / "mono-17x9.pbm", "pbm");
    SaveImage(Gradient(13, 9, QImage::Format_RGB32), dir / "colour-13x9.bmp", "bmp");
    SaveImage(Gradient(80, 60, QImage::Format_Indexed8), dir / "indexed-80x60.bmp", "bmp");
    SaveImage(Gradient(80, 60, QImage::Format_RGB32), dir / "colour-80x60.jpg", "jpeg", 40);
    SaveImage(Gradient(320, 240, QImage::Format_Grayscale8), dir / "grey-320x240.jpg", "jpeg", 10);
    SaveImage(Gradient(16, 16, QImage::Format_ARGB32), dir / "16x16.ico", "ico");
    SaveImage(Gradient(8, 6, QImage::Format_Indexed8), dir / "indexed-8x6.xpm", "xpm");
    SaveImage(Gradient(16, 8, QImage::Format_Mono), dir / "mono-16x8.xbm", "xbm");
    // Plain (text) netpbm, which Qt reads but does not write.
    std::ofstream(dir / "plain-5x3.pgm") << "P2\n# grey\n5 3\n255\n0 64 128 192 255\n1 2 3 4 5\n250 9 8 7 6\n";
    std::ofstream(dir / "plain-2x2.ppm") << "P3\n2 2\n15\n15 0 0  0 15 0\n0 0 15  15 15 15\n";
    // GIF (read-only in Qt): 2 x 1, two colours, LZW minimum code size 2.
    WriteBytes(dir / "2x1.gif", {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                                 ',', 0, 0, 0, 0, 2, 0, 1, 0, 0, 2, 2, 0x44, 0x0A, 0, ';'});
    // Long and thin: covering the frame with all of either once took gigabytes.
    WriteBytes(dir / "screen-65535x1.gif", {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 1, 0, 0x80, 0, 0, 0, 0, 0, 255,
                                            255, 255, ',', 0, 0, 0, 0, 2, 0, 1, 0, 0, 2, 2, 0x44, 0x0A, 0, ';'});
    SaveImage(Gradient(1, 32767, QImage::Format_ARGB32), dir / "tall-1x32767.png", "png");
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    const fs::path root = argv[1];
    for (const char* target : {"recording", "receive_chain", "image"}) fs::create_directories(root / target);
    MakeRecordings(root / "recording");
    MakeSampleSeeds(root / "receive_chain");
    MakeImages(root / "image");
    return 0;
}
