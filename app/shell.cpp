#include "shell.hpp"

#include <string>

#include "capture_menu_items.hpp"
#include "command_codes.hpp"

namespace {
// The "TX_Port" choices and the "Baudrate" items, each one checked.
constexpr Command kPortItems[] = {Command::PortCom1, Command::PortCom2, Command::PortNone};
constexpr Command kBaudItems[] = {Command::Baud5500, Command::Baud8250, Command::Baud11000};
}  // namespace

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

void Shell::OnPaletteChanged() { parts_.capture.CaptureForwardPalette(); }

void Shell::DispatchCommand(WindowHandle mainWindow, std::int32_t code)
{
    const std::int32_t firstDriver = Id(Command::FirstDriver);
    if (code >= firstDriver && code < firstDriver + CapturePlatform::kDriverCount) {
        parts_.capture.CaptureSelectDriver(mainWindow, code - firstDriver);
        return;
    }
    // Any other code matches nothing.
    switch (static_cast<Command>(code)) {
    case Command::Exit: parts_.windows.DestroyWindow(mainWindow); break;
    case Command::Preview: parts_.capture.CaptureTogglePreview(); break;
    case Command::Overlay: parts_.capture.CaptureToggleOverlay(); break;
    case Command::VideoFormat: parts_.capture.CaptureFormatDialog(); break;
    case Command::VideoSource: parts_.capture.CaptureSourceDialog(); break;
    case Command::VideoDisplay: parts_.capture.CaptureDisplayDialog(); break;
    case Command::SendNbtv: ToggleSendNbtv(); break;
    case Command::About: parts_.windows.RunAboutBox(mainWindow); break;
    case Command::PortCom1: SelectPort(Command::PortCom1, 1); break;
    case Command::PortCom2: SelectPort(Command::PortCom2, 2); break;
    case Command::PortNone: SelectPort(Command::PortNone, 0); break;
    case Command::Receive: ToggleReceive(mainWindow); break;
    case Command::Baud5500: SetBitRate(4, Command::Baud5500); break;
    case Command::Baud8250: SetBitRate(3, Command::Baud8250); break;
    case Command::Baud11000: SetBitRate(2, Command::Baud11000); break;
    case Command::RobustReceiver:
        // Takes effect at the next poll; both receivers keep running.
        parts_.receiver.SetRobust(!parts_.receiver.Robust());
        Check(Command::RobustReceiver, parts_.receiver.Robust());
        break;
    default: break;
    }
}

void Shell::ToggleSendNbtv()
{
    parts_.scheduler.ToggleSendNbtv();
    // The port cannot be changed while transmitting.
    const bool on = parts_.scheduler.transmitting == 1;
    for (Command item : kPortItems) parts_.ui.EnableMenuItem(Id(item), !on);
    Check(Command::SendNbtv, on);
}

void Shell::SelectPort(Command chosen, std::int32_t portSelection)
{
    parts_.scheduler.SelectPort(portSelection);
    for (Command item : kPortItems) Check(item, item == chosen);
}

void Shell::ToggleReceive(WindowHandle mainWindow)
{
    DesktopAudio& audio = parts_.audio;
    audio.ToggleReceive();
    Check(Command::Receive, audio.receiveWanted == 1);
    if (audio.receiveWanted == 1 && audio.receiverNotRunning != 0)
        parts_.ui.Show(mainWindow, "could not start recording", "error");
}

void Shell::SetBitRate(std::int32_t samplesPerBit, Command chosen)
{
    parts_.samplesPerBit.store(samplesPerBit, std::memory_order_relaxed);
    for (Command item : kBaudItems) Check(item, item == chosen);
}

void Shell::Check(Command item, bool checked) { parts_.ui.CheckMenuItem(Id(item), checked); }
