#pragma once
// Runs fetches on a thread of its own while the calling thread watches each one, so that a
// transfer ends within about a second of the worker's stop event, of falling below the rate
// floor (CTransferPace) or of the run's deadline, even while WinInet still blocks in a read that
// only its own time-out would end. The thread is kept from fetch to fetch: making one per file
// costs more under Wine than a small file's transfer.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

class CFileSink;

struct CTransferLimits {
    HANDLE stopEvent = nullptr; // the worker's stop event (not owned); none at start-up
    ULONGLONG deadlineTick = 0; // the GetTickCount64 value the run must be done by; 0: none
};

class CTransferWatch {
public:
    CTransferWatch();
    // Ends the idle thread and waits for it.
    ~CTransferWatch();
    CTransferWatch(const CTransferWatch&) = delete;
    CTransferWatch& operator=(const CTransferWatch&) = delete;

    // Returns what `fetch` returns, or 0 when the transfer was given up. The sink is then
    // abandoned (nothing more written or committed, its temporary file removed), the fetch's
    // WinInet handles are closed (CTransferCancel) and its thread is waited for, a bounded time;
    // one that is still blocked then is left to end on its own, and the next fetch gets a new
    // thread. So `fetch` must own, not borrow, everything it uses. `what` names the request in
    // the run log when it is given up.
    int Run(std::function<int()> fetch, const std::shared_ptr<CFileSink>& sink, const CTransferLimits& limits,
            const std::string& what);

private:
    struct CShared;
    bool StartThread();
    // Cancels the running fetch and waits for its thread, bounded; false when it was left.
    bool EndThread();

    std::shared_ptr<CShared> m_shared;
    std::thread m_thread;
};
