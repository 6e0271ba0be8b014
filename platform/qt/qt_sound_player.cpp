#include "qt_sound_player.hpp"

#include <cmath>
#include <cstdint>
#include <numbers>

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMediaDevices>
#include <QTimer>

namespace {

struct Sound {
    QAudioFormat format;
    QByteArray samples;
};

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

bool QtSoundPlayer::PlaySync(std::span<const std::uint8_t> samples, int sampleRate)
{
    if (shutDown_) return true;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return false;

    // The samples are only read, and outlive the call.
    Sound sound;
    sound.format.setSampleFormat(QAudioFormat::UInt8);
    sound.format.setChannelCount(1);
    sound.format.setSampleRate(sampleRate);
    sound.samples = QByteArray::fromRawData(reinterpret_cast<const char*>(samples.data()),
                                            static_cast<qsizetype>(samples.size()));
    if (sound.samples.isEmpty() || sampleRate < 1 || !device.isFormatSupported(sound.format)) sound = Alert();
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
