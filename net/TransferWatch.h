#pragma once
// Runs fetches on a thread of its own while the calling thread watches each one, so that a
// transfer ends within about a second of the worker's stop event, of falling below the rate
// floor (CTransferPace) or of the run's deadline, even while WinInet still blocks in a read that
// only its own time-out would end. The thread is kept from fetch to fetch: making one per file
// costs more under Wine than a small file's transfer.
#include "net/TransferPace.h"

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

    // The same in steps, for one thread that watches several transfers at once (each thread
    // costs about a megabyte under Wine). Start hands the fetch to this watch's thread (false:
    // no thread could be started, nothing runs); Done() is signalled once when it has ended, and
    // Result() then holds what it returned. While it runs, Check is called about once a second
    // and names a reason to give it up, or none; GiveUp logs the reason, abandons the sink and
    // closes the handles, and EndGivenUp waits for the thread at most `waitMs`.
    bool Start(std::function<int()> fetch, const std::shared_ptr<CFileSink>& sink, const std::string& what);
    HANDLE Done() const;
    int Result() const;
    const char* Check(unsigned long long now, const CTransferLimits& limits);
    void GiveUp(const char* reason);
    void EndGivenUp(unsigned long waitMs);

    static constexpr unsigned long kSampleMs = 1000; // how often Check looks at the bytes and the clock
    // How long a given-up transfer may take to end once its handles are closed. On Windows the
    // blocked call returns at once; under Wine a blocked read does not, and this bounds the wait.
    static constexpr unsigned long kEndWaitMs = 2000;

private:
    struct CShared;
    bool StartThread();
    // Waits for the cancelled fetch's thread, bounded; false when it was left.
    bool EndThread(unsigned long waitMs);

    std::shared_ptr<CShared> m_shared;
    std::thread m_thread;
    std::shared_ptr<CFileSink> m_sink; // the running transfer's
    std::string m_what;
    CTransferPace m_pace;
};
