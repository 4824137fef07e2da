#include "framework/Wait.h"

void WaitDispatchingSentMessages(HANDLE handle)
{
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1) return;  // signalled, or the handle is not waitable
        MSG msg;
        // Peeking delivers the pending sent messages; nothing is removed from the queue.
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
