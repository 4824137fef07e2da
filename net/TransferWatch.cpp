#include "net/TransferWatch.h"

#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "framework/Trace.h"
#include "net/FileSink.h"
#include "net/TransferCancel.h"
#include "net/TransferPace.h"

#include <atomic>

namespace {

constexpr DWORD kSampleMs = 1000; // how often the watcher looks at the bytes and the clock
// How long a given-up transfer may take to end once its handles are closed. On Windows the
// blocked call returns at once; under Wine a blocked read does not, and this bounds the wait.
constexpr DWORD kEndWaitMs = 2000;

bool Signalled(HANDLE event)
{
    return event && ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

} // namespace

// What the transfer thread shares with the watcher; a thread given up keeps it alive.
struct CTransferWatch::CShared {
    CHandle start{::CreateEventA(nullptr, FALSE, FALSE, nullptr)}; // a job is there, or quit
    CHandle done{::CreateEventA(nullptr, FALSE, FALSE, nullptr)};  // the job has ended
    std::function<int()> job;                                      // handed over by the events
    std::atomic<int> result{0};
    std::atomic<bool> quit{false};
    CTransferCancel cancel; // the transfer's handles, closed when it is given up

    void Serve()
    {
        CTransferCancel::CThreadScope scope(cancel);
        for (;;) {
            if (::WaitForSingleObject(start.get(), INFINITE) != WAIT_OBJECT_0 || quit) return;
            int r = 0;
            try {
                r = job();
            } catch (...) {
                TraceSwallowedException("a transfer thread"); // counts as a failed transfer
            }
            job = nullptr;
            result = r;
            ::SetEvent(done.get());
        }
    }
};

CTransferWatch::CTransferWatch() = default;

CTransferWatch::~CTransferWatch()
{
    if (!m_thread.joinable()) return;
    m_shared->quit = true;
    ::SetEvent(m_shared->start.get());
    m_thread.join();
}

bool CTransferWatch::StartThread()
{
    if (m_thread.joinable()) return true;
    auto shared = std::make_shared<CShared>();
    if (!shared->start || !shared->done) return false;
    try {
        m_thread = std::thread([shared] { shared->Serve(); });
    } catch (...) {
        TraceSwallowedException("starting the transfer thread");
        return false;
    }
    m_shared = std::move(shared);
    return true;
}

bool CTransferWatch::EndThread()
{
    // Closing the transfer's handles makes the blocked call return; the fetch then logs nothing
    // more, and its sink is abandoned already.
    m_shared->cancel.Cancel();
    const bool ended = ::WaitForSingleObject(m_shared->done.get(), kEndWaitMs) == WAIT_OBJECT_0;
    m_shared->quit = true;
    ::SetEvent(m_shared->start.get());
    if (ended) {
        m_thread.join();
    } else {
        // Still blocked (WinInet under Wine is not woken by the close): it ends at its read's
        // time-out, or with the process. It holds only shared state, writes no file and no log
        // line, and the log it could reach outlives it (CRunLog never frees its state).
        m_thread.detach();
    }
    m_shared.reset();
    return ended;
}

int CTransferWatch::Run(std::function<int()> fetch, const std::shared_ptr<CFileSink>& sink,
                        const CTransferLimits& limits, const std::string& what)
{
    // A window closed meanwhile starts nothing more.
    if (Signalled(limits.stopEvent)) return 0;
    if (!StartThread()) return fetch(); // cannot watch: the WinInet time-outs still bound it
    m_shared->job = std::move(fetch);
    ::SetEvent(m_shared->start.get());

    CTransferPace pace;
    const HANDLE handles[2] = {m_shared->done.get(), limits.stopEvent};
    const DWORD count = limits.stopEvent ? 2 : 1;
    for (;;) {
        const DWORD woken = ::WaitForMultipleObjects(count, handles, FALSE, kSampleMs);
        if (woken == WAIT_OBJECT_0) return m_shared->result;
        const char* reason = woken != WAIT_TIMEOUT ? "stopped" : nullptr; // the stop event, or a broken wait
        if (!reason) {
            const ULONGLONG now = ::GetTickCount64();
            pace.Sample(now, sink ? sink->BytesWritten() : 0);
            if (pace.TooSlow())
                reason = "slower than the rate floor";
            else if (limits.deadlineTick != 0 && now >= limits.deadlineTick)
                reason = "past the run's deadline";
        }
        if (reason) {
            CRunLog::Write("GET " + what + ": given up; failed: " + reason);
            if (sink) sink->Abandon();
            if (!EndThread())
                CRunLog::Write("GET " + what + ": its thread did not end within " + std::to_string(kEndWaitMs) +
                               " ms of closing its handles and was left to end on its own");
            return 0;
        }
    }
}
