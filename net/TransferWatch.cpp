#include "net/TransferWatch.h"

#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "framework/Trace.h"
#include "net/FileSink.h"
#include "net/TransferPace.h"

#include <atomic>

namespace {

constexpr DWORD kSampleMs = 1000; // how often the watcher looks at the bytes and the clock

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

    void Serve()
    {
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

void CTransferWatch::GiveUpThread()
{
    // It is blocked in WinInet until its own time-out; once the fetch returns it sees `quit` and
    // ends. It holds only shared state and its sink can neither write nor commit any more, so it
    // may end after we have moved on, or with the process.
    m_shared->quit = true;
    ::SetEvent(m_shared->start.get());
    m_thread.detach();
    m_shared.reset();
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
            GiveUpThread();
            return 0;
        }
    }
}
