#include "qt_sound_input.hpp"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QByteArray>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <cstring>

#include "common/samples.hpp"

QtSoundInput::QtSoundInput() = default;
QtSoundInput::~QtSoundInput() { Stop(); }

bool QtSoundInput::Start()
{
    Stop();
    const QAudioDevice input = QMediaDevices::defaultAudioInput();
    if (input.isNull()) return false;
    QAudioFormat format;
    format.setSampleFormat(QAudioFormat::UInt8);
    format.setChannelCount(1);
    format.setSampleRate(kSampleRate);
    if (!input.isFormatSupported(format)) return false;

    source_ = std::make_unique<QAudioSource>(input, format);
    device_ = source_->start();
    if (device_ == nullptr || source_->error() != QAudio::NoError) {
        Stop();
        return false;
    }
    ring_.assign(kCaptureRingSize, 0);
    writePosition_ = 0;
    QObject::connect(device_, &QIODevice::readyRead, device_, [this] { Drain(); });
    return true;
}

void QtSoundInput::Stop()
{
    if (source_) source_->stop();
    source_.reset();
    device_ = nullptr;
    ring_.clear();
    ring_.shrink_to_fit();
}

// Everything the source holds goes into the ring, wrapping; what a late
// poll has not read by then is overwritten.
void QtSoundInput::Drain()
{
    if (device_ == nullptr) return;
    // One readAll, then copied: reading the source straight into the ring,
    // in pieces cut at the ring's end, garbled the samples (Qt 6.4 on
    // PulseAudio).
    const QByteArray data = device_->readAll();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.constData());
    std::size_t left = static_cast<std::size_t>(data.size());
    while (left > 0) {
        const std::size_t chunk = std::min<std::size_t>(left, kCaptureRingSize - writePosition_);
        std::memcpy(ring_.data() + writePosition_, bytes, chunk);
        writePosition_ = static_cast<std::uint32_t>((writePosition_ + chunk) % kCaptureRingSize);
        bytes += chunk;
        left -= chunk;
    }
}

std::optional<std::uint32_t> QtSoundInput::WritePosition()
{
    // A source that has stopped by itself (its server gone) gives nothing more.
    if (!source_ || source_->error() != QAudio::NoError || source_->state() == QAudio::StoppedState) return {};
    Drain();
    return writePosition_;
}

std::optional<CaptureRegions> QtSoundInput::Regions(std::uint32_t offset, std::uint32_t bytes)
{
    if (ring_.empty() || offset >= kCaptureRingSize || bytes > kCaptureRingSize) return {};
    const std::uint32_t first = std::min(bytes, kCaptureRingSize - offset);
    return CaptureRegions{std::span<const std::uint8_t>(ring_).subspan(offset, first),
                          std::span<const std::uint8_t>(ring_).subspan(0, bytes - first)};
}
