#pragma once
// The main window's message handling and command dispatch: creation and
// ending, the 200 ms timer that drives the receiver and the level line, and
// every menu command turned into a call on its subsystem. No drawing, no
// signal processing. User-interface thread only.

#include <cstdint>

#include "audio_capture.hpp"
#include "capture_control.hpp"
#include "command_codes.hpp"
#include "common/samples.hpp"
#include "rx/picture_view.hpp"
#include "rx/switched_receiver.hpp"
#include "shell_state.hpp"
#include "transmit_scheduler.hpp"
#include "ui.hpp"
#include "window_events.hpp"
#include "window_system.hpp"

// The desktop's receiver: the exact and the robust one, switchable, into the
// received picture; and the sound card feeding it.
using DesktopReceiver = SwitchedReceiver<PictureView>;
using DesktopAudio = AudioCapture<DesktopReceiver>;

class Shell : public WindowEvents {
public:
    static constexpr int kTimerId = 1;
    static constexpr int kTimerPeriodMs = 200;
    // Appended to the level line in the title while a sound device is gone.
    static constexpr const char* kNoSoundInput = " - no sound input";
    static constexpr const char* kNoSoundOutput = " - no sound output";

    struct Parts {
        Ui& ui;
        WindowSystem& windows;
        ShellState& state;
        SamplesPerBit& samplesPerBit;
        CaptureControl& capture;
        TransmitScheduler& scheduler;
        DesktopAudio& audio;
        DesktopReceiver& receiver;
    };

    explicit Shell(const Parts& parts) : parts_(parts) {}

    // Runs while the main window is being created, before its handle is
    // recorded in the shell state.
    void OnCreate(WindowHandle mainWindow) override;
    void OnDestroy() override;
    void OnMoveOrResize() override;
    // The close box: stops recording, the timer and the capture window, then
    // destroys the main window.
    void OnClose(WindowHandle mainWindow) override;
    void OnTimer() override;
    void OnInitMenu(Ui& menu) override;
    void OnPaletteChanged() override;

    void DispatchCommand(WindowHandle mainWindow, std::int32_t command) override;

private:
    void ToggleSendNbtv();
    void SelectPort(Command chosen, std::int32_t portSelection);
    void ToggleReceive(WindowHandle mainWindow);
    void SetBitRate(std::int32_t samplesPerBit, Command chosen);
    void Check(Command item, bool checked);

    Parts parts_;
};
