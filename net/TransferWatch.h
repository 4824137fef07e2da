#pragma once
// Runs one fetch on a thread of its own while the calling thread watches it, so that a transfer
// ends within about a second of the worker's stop event, of falling below the rate floor
// (CTransferPace) or of the run's deadline, even while WinInet still blocks in a read that only
// its own time-out would end.
#include <windows.h>

#include <functional>
#include <memory>

class CFileSink;

struct CTransferLimits {
    HANDLE stopEvent = nullptr; // the worker's stop event (not owned); none at start-up
    ULONGLONG deadlineTick = 0; // the GetTickCount64 value the run must be done by; 0: none
};

// Returns what `fetch` returns, or 0 when the transfer was given up. The sink is then abandoned
// (nothing more written or committed, its temporary file removed) and the fetch's thread is left
// to end on its own, so `fetch` must own, not borrow, everything it uses.
int RunWatchedTransfer(std::function<int()> fetch, const std::shared_ptr<CFileSink>& sink,
                       const CTransferLimits& limits);
