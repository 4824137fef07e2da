#pragma once
// One WinInet session for one fetch: opened with the caller's agent name and the system's
// proxy settings, with the connect time-out, back-off and retries the update server is used
// with, with transfer time-outs, and with a status callback that turns WinInet's notifications
// into texts.
#include "net/InternetHandle.h"

#include <string>

class CWebFileSession {
public:
    // Without `reportStatus` no status callback is installed: nobody formats texts nobody reads.
    explicit CWebFileSession(const std::string& agent, bool reportStatus = true);
    virtual ~CWebFileSession();
    CWebFileSession(const CWebFileSession&) = delete;
    CWebFileSession& operator=(const CWebFileSession&) = delete;

    bool IsOpen() const { return static_cast<bool>(m_session); }
    HINTERNET Handle() const { return m_session.get(); }
    // The context value to open this session's connections and requests with. WinInet hands the
    // status callback nothing but the handle and this value, so it carries the session itself.
    DWORD_PTR Context() { return reinterpret_cast<DWORD_PTR>(this); }
    void Close();
    // Send and receive time-outs for a session or one of its requests: no byte for about a
    // minute fails the call instead of blocking it.
    static void SetTransferTimeouts(HINTERNET handle);

protected:
    // Receives each status text. The program shows none; tests and diagnostics override it.
    virtual void OnStatusText(const std::string& /*text*/) {}

private:
    static void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information,
                                        DWORD informationLength);

    CInternetHandle m_session;
};
