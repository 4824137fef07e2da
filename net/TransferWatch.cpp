#include "net/TransferWatch.h"

#include "framework/Handles.h"
#include "framework/Trace.h"
#include "net/FileSink.h"
#include "net/TransferPace.h"

#include <atomic>
#include <thread>

namespace {

constexpr DWORD kSampleMs = 1000; // how often the watcher looks at the bytes and the clock

// What the fetch's thread shares with the watcher; the thread keeps it alive when given up.
struct CTransferState {
    CHandle done{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<int> result{0};
    std::function<int()> fetch;
};

bool Signalled(HANDLE event)
{
    return event && ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

} // namespace

int RunWatchedTransfer(std::function<int()> fetch, const std::shared_ptr<CFileSink>& sink,
                       const CTransferLimits& limits)
{
    // A window closed meanwhile starts nothing more.
    if (Signalled(limits.stopEvent)) return 0;
    auto state = std::make_shared<CTransferState>();
    if (!state->done) return fetch(); // cannot watch: the WinInet time-outs still bound it
    state->fetch = std::move(fetch);
    std::thread thread;
    try {
        thread = std::thread([state] {
            int result = 0;
            try {
                result = state->fetch();
            } catch (...) {
                TraceSwallowedException("a transfer thread"); // counts as a failed transfer
            }
            state->result = result;
            ::SetEvent(state->done.get());
        });
    } catch (...) {
        TraceSwallowedException("starting a transfer thread");
        return state->fetch(); // it never ran; the WinInet time-outs still bound it
    }

    CTransferPace pace;
    const HANDLE handles[2] = {state->done.get(), limits.stopEvent};
    const DWORD count = limits.stopEvent ? 2 : 1;
    for (;;) {
        const DWORD woken = ::WaitForMultipleObjects(count, handles, FALSE, kSampleMs);
        if (woken == WAIT_OBJECT_0) {
            thread.join();
            return state->result;
        }
        bool giveUp = woken != WAIT_TIMEOUT; // the stop event, or a wait that cannot go on
        if (!giveUp) {
            const ULONGLONG now = ::GetTickCount64();
            pace.Sample(now, sink ? sink->BytesWritten() : 0);
            giveUp = pace.TooSlow() || (limits.deadlineTick != 0 && now >= limits.deadlineTick);
        }
        if (giveUp) {
            if (sink) sink->Abandon();
            // The fetch is blocked in WinInet until its own time-out; it holds only shared state
            // and can neither write nor commit any more, so it may end after we have returned, or
            // with the process.
            thread.detach();
            return 0;
        }
    }
}
