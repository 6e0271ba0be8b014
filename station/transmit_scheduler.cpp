#include "transmit_scheduler.hpp"

#include <new>
#include <system_error>
#include <utility>

namespace {

// The box a failed write shows; nullptr when the file was written.
const char* FailureBoxText(WavResult result)
{
    switch (result) {
    case WavResult::Written: return nullptr;
    case WavResult::CannotOpen: return "CANTOPENFILE";
    case WavResult::CannotWriteHeader: return "CANTWRITEWAVE";
    case WavResult::CannotWriteData: return "CANTWRITEDATA";
    }
    return "CANTWRITEDATA";
}
}  // namespace

TransmitScheduler::TransmitScheduler(const SamplesPerBit& samplesPerBit, PttPort& port, MessageBox& boxes,
                                     SoundPlayer& player, std::chrono::milliseconds pause)
    : port_(port), boxes_(boxes), player_(player), pause_(pause), chain_(samplesPerBit)
{
}

TransmitScheduler::~TransmitScheduler()
{
    {
        std::lock_guard lock(threadMutex_);
        stopFlag_ = 1;
    }
    stopRequested_.notify_all();
    player_.Shutdown();
    if (transmitThread_.joinable()) transmitThread_.join();
}

std::int32_t TransmitScheduler::HandOffPicture(WindowHandle owner, const Picture& picture)
{
    std::lock_guard lock(pictureMutex_);
    ownerWindow_ = owner;
    (pictureSelector_ == 1 ? pictureHalfB_ : pictureHalfA_) = picture;
    newPicture_ = 1;
    return 1;
}

void TransmitScheduler::StartTransmitting()
{
    // A start tries the sound output afresh: until a transmission fails to
    // play, it is taken to be there and the radio is keyed.
    soundOutputLost_.store(false);
    {
        std::lock_guard lock(threadMutex_);
        stopFlag_ = 0;
        if (!threadRunning_) {
            // A previous thread, if any, has left its loop; joining it does
            // not wait for more than its return.
            if (transmitThread_.joinable()) transmitThread_.join();
            // Without a buffer the thread runs and only pauses.
            sampleBuffer_.reset(new (std::nothrow) std::uint8_t[kSampleBufferSize]);
            threadRunning_ = true;
            try {
                transmitThread_ = std::thread(&TransmitScheduler::ThreadLoop, this);
            } catch (const std::system_error&) {
                // Nothing is sent; the menu still shows transmitting on.
                threadRunning_ = false;
                sampleBuffer_.reset();
            }
        }
    }
    port_.KeyingOn();
}

void TransmitScheduler::StopTransmitting()
{
    keyingDropped_ = false;
    {
        std::lock_guard lock(threadMutex_);
        stopFlag_ = 1;
    }
    stopRequested_.notify_all();
    port_.KeyingOff();
}

void TransmitScheduler::ToggleSendNbtv()
{
    if (transmitting == 1) {
        StopTransmitting();
        port_.OpenPort("close");
        transmitting = 0;
        return;
    }
    // The result is not looked at: an absent port means transmitting unkeyed.
    if (port_.portSelection == 1) port_.OpenPort("COM1:");
    if (port_.portSelection == 2) port_.OpenPort("COM2:");
    StartTransmitting();
    transmitting = 1;
}

void TransmitScheduler::SelectPort(std::int32_t selection)
{
    // The menu grays the choice while transmitting, so there is normally
    // nothing to stop or close here.
    StopTransmitting();
    port_.ClosePort();
    transmitting = 0;
    port_.portSelection = selection;
}

std::int32_t TransmitScheduler::TransmitOnce()
{
    WindowHandle owner = nullptr;
    const Picture* half = nullptr;
    {
        std::lock_guard lock(pictureMutex_);
        if (newPicture_ == 1) {
            newPicture_ = 0;
            pictureSelector_ = pictureSelector_ == 1 ? 2 : 1;
        }
        owner = ownerWindow_;
        // Hand-offs write the other half only, so this one needs no lock.
        half = pictureSelector_ == 1 ? &pictureHalfA_ : &pictureHalfB_;
    }
    if (!sampleBuffer_) return 0;

    const std::size_t count = EncodeTransmission(chain_, *half, sampleBuffer_.get());
    const std::span<const std::uint8_t> samples(sampleBuffer_.get(), count);
    // A failed write is shown, and holds the cycle while the box is open;
    // the transmission then goes out all the same.
    if (const char* text = FailureBoxText(files_.WriteNext(samples))) boxes_.Show(owner, text, "Error");
    const bool played = player_.PlaySync(samples, kSampleRate);
    soundOutputLost_.store(!played);
    unplayed_ = played ? std::chrono::microseconds(0)
                       : std::chrono::microseconds(static_cast<std::int64_t>(count) * 1'000'000 / kSampleRate);
    return 1;
}

void TransmitScheduler::UpdateKeying()
{
    const bool unkey = transmitting == 1 && soundOutputLost_.load();
    if (unkey == keyingDropped_) return;
    keyingDropped_ = unkey;
    if (unkey) port_.KeyingOff();
    else if (transmitting == 1) port_.KeyingOn();
}

bool TransmitScheduler::ThreadActive()
{
    std::lock_guard lock(threadMutex_);
    return threadRunning_;
}

void TransmitScheduler::ThreadLoop()
{
    std::unique_lock lock(threadMutex_);
    while (stopFlag_ == 0) {
        lock.unlock();
        TransmitOnce();
        lock.lock();
        // Without sound the cycle still takes the transmission's own time, so
        // that the files do not turn over faster than they could be sent.
        stopRequested_.wait_for(lock, pause_ + std::exchange(unplayed_, {}), [this] { return stopFlag_ != 0; });
    }
    sampleBuffer_.reset();
    threadRunning_ = false;
}
