#pragma once
// Stopping a decode by a signal: an interrupt, termination or hang-up asks
// the tool to stop, so that it can finish as at the end of its input (the
// pending picture written, the summary printed) and then end as that signal
// ends a process; a second such signal ends it at once.

#include <signal.h>

// Installs the handlers; call once at start.
void InstallStopSignals();

// The signal that asked to stop, 0 while none has.
int StopSignal();

// Ends the process as the signal that asked to stop would have, after the
// standard streams are flushed; returns only when no signal has asked.
void EndAsStopSignalled();

// While one lives, a stopping signal waits: the file being written is
// finished and named before a second signal can end the tool.
class StopSignalsHeld {
public:
    StopSignalsHeld();
    ~StopSignalsHeld();
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

private:
    sigset_t previous_;
};
