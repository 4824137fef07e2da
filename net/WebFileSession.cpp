#include "net/WebFileSession.h"

#include "framework/Trace.h"
#include "net/WebFileText.h"

#include <cstring>

namespace {

const DWORD kConnectTimeoutMs = 30000;
const DWORD kConnectBackoffMs = 1000;
const DWORD kConnectRetries = 1;
// A server that stops sending must not hold the run forever: a request or a body that moves no
// byte for this long has failed. Long enough for a slow line, short enough for a user to wait.
const DWORD kTransferTimeoutMs = 60000;

void SetNumberOption(HINTERNET handle, DWORD option, DWORD value)
{
    // A refused option only loses a tuning; the fetch itself still works.
    ::InternetSetOptionA(handle, option, &value, sizeof value);
}

} // namespace

CWebFileSession::CWebFileSession(const std::string& agent, bool reportStatus)
    : m_session(::InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0))
{
    if (!m_session) return;
    SetNumberOption(m_session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, kConnectTimeoutMs);
    SetNumberOption(m_session.get(), INTERNET_OPTION_CONNECT_BACKOFF, kConnectBackoffMs);
    SetNumberOption(m_session.get(), INTERNET_OPTION_CONNECT_RETRIES, kConnectRetries);
    SetTransferTimeouts(m_session.get());
    if (reportStatus) ::InternetSetStatusCallbackA(m_session.get(), &CWebFileSession::StatusCallback);
}

void CWebFileSession::SetTransferTimeouts(HINTERNET handle)
{
    for (DWORD option : {INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
        SetNumberOption(handle, option, kTransferTimeoutMs);
}

CWebFileSession::~CWebFileSession()
{
    Close();
}

void CWebFileSession::Close()
{
    if (!m_session) return;
    ::InternetSetStatusCallbackA(m_session.get(), nullptr);
    m_session.reset();
}

void CALLBACK CWebFileSession::StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                                              DWORD informationLength)
{
    // The session handle itself has no context; only its connections and requests carry one.
    auto* session = reinterpret_cast<CWebFileSession*>(context);
    if (!session) return;
    try {
        std::string info;
        if ((status == INTERNET_STATUS_RESOLVING_NAME || status == INTERNET_STATUS_NAME_RESOLVED) && information) {
            const char* text = static_cast<const char*>(information);
            info.assign(text, strnlen(text, informationLength));
        }
        if (auto text = FormatInternetStatus(status, info)) session->OnStatusText(*text);
    } catch (...) {
        // Nothing may unwind into WinInet; the status text is only shown, so the transfer goes on.
        TraceSwallowedException("the WinInet status callback");
    }
}
