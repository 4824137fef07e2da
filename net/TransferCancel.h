#pragma once
// Lets the watcher of a transfer end it from another thread. The transfer opens its WinInet
// connection and request through the cancel of its own thread; Cancel closes them, which makes a
// call blocked on them return. (Windows does so; Wine 8's WinInet does not wake a blocked read,
// which then ends at its own time-out.)
#include <windows.h>
#include <wininet.h>

#include <mutex>
#include <vector>

class CTransferCancel {
public:
    CTransferCancel() = default;
    CTransferCancel(const CTransferCancel&) = delete;
    CTransferCancel& operator=(const CTransferCancel&) = delete;

    // The cancel of the transfer this thread runs; null outside a watched transfer.
    static CTransferCancel* Current();
    // True when this thread's transfer has been given up: it must write, log and commit nothing.
    static bool CurrentCancelled();

    // Makes a cancel this thread's own until the scope ends.
    class CThreadScope {
    public:
        explicit CThreadScope(CTransferCancel& cancel);
        ~CThreadScope();
        CThreadScope(const CThreadScope&) = delete;
        CThreadScope& operator=(const CThreadScope&) = delete;

    private:
        CTransferCancel* m_previous;
    };

    // Takes a handle just opened. False, with the handle closed, when the transfer is given up
    // already.
    bool Adopt(HINTERNET handle);
    // Closes a handle taken by Adopt, unless Cancel has closed it already.
    void Close(HINTERNET handle);
    // Closes every handle taken, the last opened first, and refuses new ones. From any thread.
    void Cancel();
    bool Cancelled() const;

private:
    mutable std::mutex m_mutex; // guards both members
    std::vector<HINTERNET> m_handles;
    bool m_cancelled = false;
};

// Owner of one WinInet handle of a transfer: closed through the thread's cancel where there is
// one, so that a handle the watcher closed is never closed twice.
class CTransferHandle {
public:
    explicit CTransferHandle(HINTERNET handle = nullptr);
    ~CTransferHandle() { reset(); }
    CTransferHandle(const CTransferHandle&) = delete;
    CTransferHandle& operator=(const CTransferHandle&) = delete;

    HINTERNET get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void reset(HINTERNET handle = nullptr);

private:
    CTransferCancel* m_cancel;
    HINTERNET m_handle = nullptr;
};
