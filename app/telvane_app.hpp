#pragma once
// The whole desktop program as one object: the Qt implementations of the
// platform interfaces, the modem's process-long state, the subsystems and
// the main and picture windows, made and torn down in a safe order. The
// program's entry makes one; tests make one in their own process.

#include <memory>

#include "audio_capture.hpp"
#include "capture_control.hpp"
#include "capture_menu_items.hpp"
#include "common/samples.hpp"
#include "frame_handoff.hpp"
#include "graph_window.hpp"
#include "main_window.hpp"
#include "rx/picture_view.hpp"
#include "ptt_port.hpp"
#include "qt_capture.hpp"
#include "qt_message_box.hpp"
#include "qt_serial_ports.hpp"
#include "qt_sound_input.hpp"
#include "qt_sound_player.hpp"
#include "rx/switched_receiver.hpp"
#include "shell.hpp"
#include "shell_state.hpp"
#include "transmit_scheduler.hpp"

class TelvaneApp {
public:
    // Needs the QApplication.
    TelvaneApp();
    // Ends transmitting and recording without waiting for the user.
    ~TelvaneApp();
    TelvaneApp(const TelvaneApp&) = delete;
    TelvaneApp& operator=(const TelvaneApp&) = delete;

    // Runs the main window's creation, records its handle, then shows it
    // and the picture window.
    void Start();

    QtMainWindow& MainWindow() { return *window_; }
    GraphWindow* PictureWindow() { return graph_; }
    PictureView& ReceivedPicture() { return view_; }
    FrameHandoff& Frames() { return frames_; }
    CaptureControl& Capture() { return capture_; }
    TransmitScheduler& Scheduler() { return scheduler_; }
    const SamplesPerBit& BitRate() const { return samplesPerBit_; }

private:
    QtMessageBox messages_;
    QtSoundPlayer player_;
    QtSoundInput soundInput_;
    QtSerialPorts serialPorts_;
    QtCapture capturePlatform_;

    ShellState state_;
    SamplesPerBit samplesPerBit_{kInitialSamplesPerBit};
    PictureView view_;
    // The exact receiver feeds the picture until "Robust receiver" is chosen.
    DesktopReceiver receiver_{view_};

    // Declared after what its children use and before what uses it, so it
    // goes after the subsystems and before the picture state.
    std::unique_ptr<QtMainWindow> window_;

    DesktopAudio audio_;
    PttPort port_;
    TransmitScheduler scheduler_;
    FrameHandoff frames_;
    CaptureMenuItems captureMenu_;
    CaptureControl capture_;
    Shell shell_;
    GraphWindow* graph_ = nullptr;  // a child of the main window
};
