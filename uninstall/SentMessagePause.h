#pragma once
#include <windows.h>

// Waits for the given time on a user-interface thread without handling input or painting, but
// answers the messages other threads and programs send to this thread's windows meanwhile, so
// that none of them hangs on a window that is merely busy.
void PauseHandlingSentMessages(DWORD milliseconds);
