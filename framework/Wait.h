#pragma once
#include <windows.h>

// Waits for a handle without a time limit while the calling (user-interface) thread keeps
// handling messages that other threads send to its windows, so a worker blocked in
// SendMessage to this thread can finish. Posted messages stay queued: a WM_CLOSE posted by the
// worker meanwhile is not dispatched into a close handler that is already running.
void WaitDispatchingSentMessages(HANDLE handle);
