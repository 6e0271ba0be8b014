#include "stop_signals.hpp"

#include <signal.h>

#include <cstdio>

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t stopSignal = 0;

void AskToStop(int number)
{
    if (stopSignal == 0) {
        stopSignal = number;
        return;
    }
    // The second: its default action, as soon as this handler returns.
    signal(number, SIG_DFL);
    raise(number);
}

sigset_t StopSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int number : kStopSignals) sigaddset(&set, number);
    return set;
}

}  // namespace

void InstallStopSignals()
{
    struct sigaction action {};
    action.sa_handler = AskToStop;
    action.sa_mask = StopSet();
    // No SA_RESTART: a read waiting for live input returns (EINTR), so the
    // reader can see that the tool is to stop.
    action.sa_flags = 0;
    for (int number : kStopSignals) {
        // A signal ignored by whoever started the tool (nohup) stays ignored.
        struct sigaction previous {};
        if (sigaction(number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        sigaction(number, &action, nullptr);
    }
}

int StopSignal() { return stopSignal; }

void EndAsStopSignalled()
{
    const int number = stopSignal;
    if (number == 0) return;
    std::fflush(nullptr);
    signal(number, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, number);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(number);
}

StopSignalsHeld::StopSignalsHeld()
{
    const sigset_t set = StopSet();
    sigprocmask(SIG_BLOCK, &set, &previous_);
}

StopSignalsHeld::~StopSignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
