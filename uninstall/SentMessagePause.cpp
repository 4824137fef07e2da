#include "uninstall/SentMessagePause.h"

void PauseHandlingSentMessages(DWORD milliseconds)
{
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end) return;
        const DWORD left = static_cast<DWORD>(end - now);
        const DWORD r = ::MsgWaitForMultipleObjectsEx(0, nullptr, left, QS_SENDMESSAGE, 0);
        if (r == WAIT_TIMEOUT) return;
        if (r == WAIT_FAILED) {
            ::Sleep(left);
            return;
        }
        MSG msg;
        // Peeking delivers the pending sent messages; posted ones stay queued.
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
