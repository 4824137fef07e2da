#pragma once
#include <windows.h>

// Waits for a handle without a time limit while the calling (user-interface) thread keeps
// handling messages that other threads send to its windows, so a worker blocked in
// SendMessage to this thread can finish. Posted messages stay queued: a WM_CLOSE posted by the
// worker meanwhile is not dispatched into a close handler that is already running.
void WaitDispatchingSentMessages(HANDLE handle);

// Waits for the given time on a user-interface thread without handling input or painting, but
// answers the messages other threads and programs send to this thread's windows meanwhile, so
// that none of them hangs on a window that is merely busy.
void PauseHandlingSentMessages(DWORD milliseconds);
