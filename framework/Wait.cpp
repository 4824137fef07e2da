#include "framework/Wait.h"

namespace {

// One wait for the handles, the time or a message sent to this thread; a sent message is
// answered before returning. Peeking delivers the pending sent messages; posted ones stay queued.
DWORD WaitAnsweringSentMessages(DWORD count, const HANDLE* handles, DWORD milliseconds)
{
    const DWORD r = MsgWaitForMultipleObjectsEx(count, handles, milliseconds, QS_SENDMESSAGE, 0);
    if (r == WAIT_OBJECT_0 + count) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return r;
}

} // namespace

void WaitDispatchingSentMessages(HANDLE handle)
{
    // Ends when signalled, or when the handle is not waitable.
    while (WaitAnsweringSentMessages(1, &handle, INFINITE) == WAIT_OBJECT_0 + 1) {}
}

void PauseHandlingSentMessages(DWORD milliseconds)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        const DWORD left = static_cast<DWORD>(end - now);
        const DWORD r = WaitAnsweringSentMessages(0, nullptr, left);
        if (r == WAIT_TIMEOUT) return;
        if (r == WAIT_FAILED) {
            // Still pause, only without answering.
            Sleep(left);
            return;
        }
    }
}
