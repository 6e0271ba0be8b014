#include "qt_sound_player.hpp"

#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMediaDevices>
#include <QTimer>

namespace {

struct Sound {
    QAudioFormat format;
    QByteArray samples;
};

std::uint32_t Le(const QByteArray& bytes, qsizetype at, int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

// The "fmt " and "data" chunks of a RIFF WAVE file; nothing for anything else.
std::optional<Sound> ReadWave(const std::string& fileName)
{
    QFile file(QString::fromStdString(fileName));
    // Far beyond any transmission (15 s of 8-bit audio is 330,750 bytes).
    constexpr qint64 largest = 256 << 20;
    if (!file.open(QIODevice::ReadOnly) || file.size() > largest) return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE") return std::nullopt;

    std::optional<Sound> sound;
    bool haveFormat = false;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const qsizetype size = Le(bytes, at + 4, 4);
        const qsizetype body = at + 8;
        if (id == "fmt " && size >= 16 && body + 16 <= bytes.size()) {
            const auto tag = Le(bytes, body, 2);
            const auto channels = static_cast<int>(Le(bytes, body + 2, 2));
            const auto rate = static_cast<int>(Le(bytes, body + 4, 4));
            const auto bits = Le(bytes, body + 14, 2);
            QAudioFormat format;
            if (tag == 1 && bits == 8) format.setSampleFormat(QAudioFormat::UInt8);
            else if (tag == 1 && bits == 16) format.setSampleFormat(QAudioFormat::Int16);
            else if (tag == 1 && bits == 32) format.setSampleFormat(QAudioFormat::Int32);
            else if (tag == 3 && bits == 32) format.setSampleFormat(QAudioFormat::Float);
            else return std::nullopt;
            if (channels < 1 || rate < 1) return std::nullopt;
            format.setChannelCount(channels);
            format.setSampleRate(rate);
            sound = Sound{format, {}};
            haveFormat = true;
        } else if (id == "data" && haveFormat) {
            // A truncated data chunk plays what there is.
            sound->samples = bytes.mid(body, std::min(size, bytes.size() - body));
            const int frame = sound->format.bytesPerFrame();
            sound->samples.truncate(sound->samples.size() / frame * frame);
            return sound->samples.isEmpty() ? std::nullopt : sound;
        }
        at = body + size + (size & 1);  // chunks are padded to even length
    }
    return std::nullopt;
}

// The default sound: 150 ms of 880 Hz, unsigned 8-bit mono at 22050 Hz.
Sound Alert()
{
    constexpr int rate = 22050;
    constexpr int count = rate * 150 / 1000;
    Sound sound;
    sound.format.setSampleFormat(QAudioFormat::UInt8);
    sound.format.setChannelCount(1);
    sound.format.setSampleRate(rate);
    sound.samples.resize(count);
    for (int i = 0; i < count; ++i) {
        const double phase = 2 * std::numbers::pi * 880 * i / rate;
        sound.samples[i] = static_cast<char>(128 + std::lround(90 * std::sin(phase)));
    }
    return sound;
}

}  // namespace

QtSoundPlayer::QtSoundPlayer()
{
    // Brings up Qt's media backend on the GUI thread rather than on the
    // first thread that plays.
    QMediaDevices::defaultAudioOutput();
}

bool QtSoundPlayer::PlaySync(const std::string& fileName)
{
    if (shutDown_) return true;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return false;

    Sound sound = ReadWave(fileName).value_or(Sound{});
    if (sound.samples.isEmpty() || !device.isFormatSupported(sound.format)) sound = Alert();
    if (!device.isFormatSupported(sound.format)) return false;
    const qint64 duration = sound.format.durationForBytes(static_cast<qint32>(sound.samples.size()));

    QBuffer source(&sound.samples);
    source.open(QIODevice::ReadOnly);
    QAudioSink sink(device, sound.format);
    // Bounds what the output holds, and so how long it plays on after the
    // sink has taken the last byte.
    sink.setBufferSize(sound.format.bytesForDuration(200'000));
    QEventLoop loop;
    QElapsedTimer clock;
    bool failed = false;
    qint64 idleSince = -1;  // µs on clock when the sink had taken every byte
    QTimer poll;
    // The sink turns idle once it has taken the last byte, while its buffer
    // still holds up to bufferSize() of sound; the sound has ended once that
    // much time has passed, the played position has reached the end, and the
    // whole length has passed since the start.
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.nsecsElapsed() / 1000;
        const bool idle = sink.state() == QAudio::IdleState;
        if (!idle) idleSince = -1;  // it fed again after running short
        else if (idleSince < 0) idleSince = now;
        const qint64 buffered = sound.format.durationForBytes(static_cast<qint32>(sink.bufferSize()));
        const bool played = idle && now - idleSince >= buffered && sink.processedUSecs() >= duration &&
                            now >= duration;
        // Never hang on an output that stops advancing.
        const bool stuck = now > duration + 5'000'000;
        failed = sink.state() == QAudio::StoppedState || stuck;
        if (shutDown_ || played || failed) loop.quit();
    });
    poll.start(10);
    clock.start();
    sink.start(&source);
    if (sink.state() == QAudio::StoppedState) return shutDown_;
    loop.exec();
    sink.stop();
    return !failed || shutDown_;
}

void QtSoundPlayer::Shutdown() { shutDown_ = true; }
