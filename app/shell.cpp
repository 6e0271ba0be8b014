#include "shell.hpp"

#include <string>

#include "capture_menu_items.hpp"
#include "command_codes.hpp"

void Shell::OnCreate(WindowHandle mainWindow)
{
    parts_.capture.CaptureCreate(mainWindow);
    parts_.ui.DrawMenuBar();
    parts_.capture.CapturePlace();
    parts_.capture.CaptureRefresh(mainWindow, parts_.capture.currentDriver);
    parts_.windows.SetTimer(mainWindow, kTimerId, kTimerPeriodMs);
    parts_.audio.receiverNotRunning = parts_.audio.StartAudioCapture();
    if (parts_.audio.receiverNotRunning != 0) parts_.ui.Show(mainWindow, "could not start recording", "error");
}

void Shell::OnDestroy() { parts_.windows.PostQuitMessage(0); }

void Shell::OnMoveOrResize() { parts_.capture.CapturePlace(); }

void Shell::OnClose(WindowHandle mainWindow)
{
    // Transmitting and the keying port are left to end with the process.
    if (parts_.audio.receiverNotRunning == 0) parts_.audio.StopAudioCapture();
    parts_.windows.KillTimer(mainWindow, kTimerId);
    parts_.capture.CaptureDestroy();
    parts_.windows.DestroyWindow(mainWindow);
}

void Shell::OnTimer()
{
    if (parts_.audio.receiverNotRunning == 0) parts_.audio.PollAudioCapture();
    parts_.state.SetStatusText(parts_.receiver.LevelLine());
    parts_.scheduler.UpdateKeying();
    // A lost sound device is said in the title for as long as it lasts.
    std::string title = parts_.state.statusText;
    if (parts_.audio.InputLost()) title += kNoSoundInput;
    if (parts_.scheduler.SoundOutputLost()) title += kNoSoundOutput;
    parts_.ui.SetTitle(title);
}

void Shell::OnInitMenu(Ui& menu)
{
    CaptureMenuItems items(menu);
    parts_.capture.CaptureInitMenu(items);
}

void Shell::OnPalette(std::uint32_t message, std::uintptr_t first, std::intptr_t second)
{
    parts_.capture.CaptureForwardPalette(message, first, second);
}

void Shell::DispatchCommand(WindowHandle mainWindow, std::uintptr_t code, std::intptr_t)
{
    using namespace command;
    if (code >= kFirstDriver && code < kFirstDriver + CapturePlatform::kDriverCount) {
        parts_.capture.CaptureSelectDriver(mainWindow, static_cast<int>(code - kFirstDriver));
        return;
    }
    switch (code) {
    case kExit: parts_.windows.DestroyWindow(mainWindow); break;
    case kPreview: parts_.capture.CaptureTogglePreview(); break;
    case kOverlay: parts_.capture.CaptureToggleOverlay(); break;
    case kVideoFormat: parts_.capture.CaptureFormatDialog(); break;
    case kVideoSource: parts_.capture.CaptureSourceDialog(); break;
    case kVideoDisplay: parts_.capture.CaptureDisplayDialog(); break;
    case kSendNbtv: ToggleSendNbtv(); break;
    case kAbout: parts_.windows.RunAboutBox(mainWindow); break;
    case kPortCom1:
    case kPortCom2:
    case kPortNone: SelectPort(static_cast<std::int32_t>(code)); break;
    case kReceive: ToggleReceive(mainWindow); break;
    case kBaud5500: SetBitRate(4, kBaud5500); break;
    case kBaud8250: SetBitRate(3, kBaud8250); break;
    case kBaud11000: SetBitRate(2, kBaud11000); break;
    case kRobustReceiver:
        // Takes effect at the next poll; both receivers keep running.
        parts_.receiver.SetRobust(!parts_.receiver.Robust());
        parts_.ui.CheckMenuItem(kRobustReceiver, parts_.receiver.Robust());
        break;
    default: break;
    }
}

void Shell::ToggleSendNbtv()
{
    parts_.scheduler.ToggleSendNbtv();
    // The port cannot be changed while transmitting.
    const bool on = parts_.scheduler.transmitting == 1;
    for (std::int32_t item : {command::kPortCom1, command::kPortCom2, command::kPortNone})
        parts_.ui.EnableMenuItem(item, !on);
    parts_.ui.CheckMenuItem(command::kSendNbtv, on);
}

void Shell::SelectPort(std::int32_t checkedItem)
{
    parts_.scheduler.SelectPort(checkedItem == command::kPortCom1 ? 1 : checkedItem == command::kPortCom2 ? 2 : 0);
    for (std::int32_t item : {command::kPortCom1, command::kPortCom2, command::kPortNone})
        parts_.ui.CheckMenuItem(item, item == checkedItem);
}

void Shell::ToggleReceive(WindowHandle mainWindow)
{
    AudioCapture<>& audio = parts_.audio;
    audio.ToggleReceive();
    parts_.ui.CheckMenuItem(command::kReceive, audio.receiveWanted == 1);
    if (audio.receiveWanted == 1 && audio.receiverNotRunning != 0)
        parts_.ui.Show(mainWindow, "could not start recording", "error");
}

void Shell::SetBitRate(std::int32_t samplesPerBit, std::int32_t checkedItem)
{
    parts_.samplesPerBit.store(samplesPerBit, std::memory_order_relaxed);
    for (std::int32_t item : {command::kBaud5500, command::kBaud8250, command::kBaud11000}) {
        parts_.ui.CheckMenuItem(item, item == checkedItem);
    }
}
