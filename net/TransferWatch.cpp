#include "net/TransferWatch.h"

#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "framework/Trace.h"
#include "net/FileSink.h"
#include "net/TransferCancel.h"

#include <atomic>

namespace {

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

bool CTransferWatch::EndThread(unsigned long waitMs)
{
    // Closing the transfer's handles (GiveUp) makes the blocked call return; the fetch then logs
    // nothing more, and its sink is abandoned already.
    const bool ended = ::WaitForSingleObject(m_shared->done.get(), waitMs) == WAIT_OBJECT_0;
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

bool CTransferWatch::Start(std::function<int()> fetch, const std::shared_ptr<CFileSink>& sink,
                           const std::string& what)
{
    if (!StartThread()) return false;
    m_sink = sink;
    m_what = what;
    m_pace = CTransferPace();
    m_shared->result = 0;
    m_shared->job = std::move(fetch);
    ::SetEvent(m_shared->start.get());
    return true;
}

HANDLE CTransferWatch::Done() const
{
    return m_shared->done.get();
}

int CTransferWatch::Result() const
{
    return m_shared->result;
}

const char* CTransferWatch::Check(unsigned long long now, const CTransferLimits& limits)
{
    if (Signalled(limits.stopEvent)) return "stopped";
    m_pace.Sample(now, m_sink ? m_sink->BytesWritten() : 0);
    if (m_pace.TooSlow()) return "slower than the rate floor";
    if (limits.deadlineTick != 0 && now >= limits.deadlineTick) return "past the run's deadline";
    return nullptr;
}

void CTransferWatch::GiveUp(const char* reason)
{
    CRunLog::Write("GET " + m_what + ": given up; failed: " + reason);
    if (m_sink) m_sink->Abandon();
    m_shared->cancel.Cancel();
}

void CTransferWatch::EndGivenUp(unsigned long waitMs)
{
    if (!EndThread(waitMs))
        CRunLog::Write("GET " + m_what + ": its thread did not end within " + std::to_string(kEndWaitMs) +
                       " ms of closing its handles and was left to end on its own");
    m_sink.reset();
}

int CTransferWatch::Run(std::function<int()> fetch, const std::shared_ptr<CFileSink>& sink,
                        const CTransferLimits& limits, const std::string& what)
{
    // A window closed meanwhile starts nothing more.
    if (Signalled(limits.stopEvent)) return 0;
    if (!Start(fetch, sink, what)) return fetch(); // cannot watch: the WinInet time-outs still bound it

    const HANDLE handles[2] = {Done(), limits.stopEvent};
    const DWORD count = limits.stopEvent ? 2 : 1;
    for (;;) {
        const DWORD woken = ::WaitForMultipleObjects(count, handles, FALSE, kSampleMs);
        if (woken == WAIT_OBJECT_0) {
            m_sink.reset();
            return Result();
        }
        // The stop event, or a broken wait.
        const char* reason = woken != WAIT_TIMEOUT ? "stopped" : Check(::GetTickCount64(), limits);
        if (reason) {
            GiveUp(reason);
            EndGivenUp(kEndWaitMs);
            return 0;
        }
    }
}
