#pragma once
// "Send NBTV": while it is on, a transmit thread encodes the newest handed-off
// picture, writes it to the next transmission file, plays it synchronously
// and pauses, in a loop, with the radio keyed. A double picture buffer under
// one lock decouples the capture rate from the transmit rate.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "common/picture.hpp"
#include "common/samples.hpp"
#include "message_box.hpp"
#include "ptt_port.hpp"
#include "sound_player.hpp"
#include "transmission_files.hpp"
#include "tx/transmit_chain.hpp"
#include "window_handle.hpp"

class TransmitScheduler {
public:
    static constexpr std::chrono::milliseconds kPause{1000};

    // Failed writes are shown through boxes.
    TransmitScheduler(const SamplesPerBit& samplesPerBit, PttPort& port, MessageBox& boxes, SoundPlayer& player,
                      std::chrono::milliseconds pause = kPause);
    // Ends a running transmit thread: the pause is cut short and so is the
    // sound being played. A message box the thread waits on must have been
    // released first.
    ~TransmitScheduler();
    TransmitScheduler(const TransmitScheduler&) = delete;
    TransmitScheduler& operator=(const TransmitScheduler&) = delete;

    // User-interface thread: copies the picture into the half the thread is
    // not encoding; owner becomes the owner of later failure boxes. Returns 1.
    std::int32_t HandOffPicture(WindowHandle owner, const Picture& picture);

    // Start keys the radio once the thread runs; stop unkeys it at once and
    // returns without waiting for the thread, which ends after its current
    // transmission (a stop cuts only the pause short).
    void StartTransmitting();
    void StopTransmitting();

    // The "Send NBTV" menu command: on opens the selected port and starts;
    // off stops and closes the port.
    void ToggleSendNbtv();

    // A "TX_Port" choice (0 none, 1 COM1, 2 COM2): stops and closes the port;
    // the choice takes effect the next time transmitting is turned on.
    void SelectPort(std::int32_t selection);

    // One cycle's work without the pause: 1 when a transmission was encoded,
    // written and played, 0 when there was no sample buffer.
    std::int32_t TransmitOnce();

    // True while a transmit thread exists that has not ended its loop.
    bool ThreadActive();

    // True when the last transmission could not be played: the sound output
    // is gone. Every transmission tries it afresh.
    bool SoundOutputLost() const { return soundOutputLost_.load(); }

    // User-interface thread, regularly: while "Send NBTV" is on and no sound
    // can be played the radio is not keyed; keying returns once a
    // transmission has played again.
    void UpdateKeying();

    // 1 while "Send NBTV" is on; frame reduction hands pictures off only then.
    std::int32_t transmitting = 0;

private:
    void ThreadLoop();

    PttPort& port_;
    MessageBox& boxes_;
    SoundPlayer& player_;
    const std::chrono::milliseconds pause_;

    // The transmit thread's own: encoder state, file rotation.
    TransmitChain chain_;
    TransmissionFiles files_;
    std::atomic<bool> soundOutputLost_{false};
    // How long the last transmission would have played had there been sound.
    std::chrono::microseconds unplayed_{0};
    bool keyingDropped_ = false;  // user-interface thread

    // The double buffer. Selector 1: the thread encodes half A and hand-offs
    // go into half B; 2: the other way round.
    std::mutex pictureMutex_;
    Picture pictureHalfA_{};
    Picture pictureHalfB_{};
    std::int32_t pictureSelector_ = 1;
    std::int32_t newPicture_ = 0;
    WindowHandle ownerWindow_ = nullptr;

    // The thread's life. At most one thread exists: a start while the last
    // one is still in its final transmission or pause lets that thread carry
    // on instead of starting another. The sample buffer belongs to the
    // running thread, which releases it as it ends.
    std::mutex threadMutex_;
    std::condition_variable stopRequested_;
    std::atomic<std::int32_t> stopFlag_{0};
    bool threadRunning_ = false;
    std::unique_ptr<std::uint8_t[]> sampleBuffer_;
    std::thread transmitThread_;
};
