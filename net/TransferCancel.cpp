#include "net/TransferCancel.h"

#include <algorithm>

namespace {

thread_local CTransferCancel* t_current = nullptr;

} // namespace

CTransferCancel* CTransferCancel::Current()
{
    return t_current;
}

bool CTransferCancel::CurrentCancelled()
{
    return t_current && t_current->Cancelled();
}

CTransferCancel::CThreadScope::CThreadScope(CTransferCancel& cancel) : m_previous(t_current)
{
    t_current = &cancel;
}

CTransferCancel::CThreadScope::~CThreadScope()
{
    t_current = m_previous;
}

bool CTransferCancel::Adopt(HINTERNET handle)
{
    if (!handle) return true;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_cancelled) {
        ::InternetCloseHandle(handle);
        return false;
    }
    try {
        m_handles.push_back(handle);
    } catch (...) {
        // Not kept, not cancellable: closed now, so the transfer fails rather than outlives a cancel.
        ::InternetCloseHandle(handle);
        return false;
    }
    return true;
}

void CTransferCancel::Close(HINTERNET handle)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = std::find(m_handles.begin(), m_handles.end(), handle);
    if (found == m_handles.end()) return; // Cancel closed it
    m_handles.erase(found);
    ::InternetCloseHandle(handle);
}

void CTransferCancel::Cancel()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    // The request before its connection: closing the request is what ends a blocked call.
    for (auto handle = m_handles.rbegin(); handle != m_handles.rend(); ++handle) ::InternetCloseHandle(*handle);
    m_handles.clear();
}

bool CTransferCancel::Cancelled() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cancelled;
}

CTransferHandle::CTransferHandle(HINTERNET handle) : m_cancel(CTransferCancel::Current())
{
    reset(handle);
}

void CTransferHandle::reset(HINTERNET handle)
{
    if (m_handle) {
        if (m_cancel)
            m_cancel->Close(m_handle);
        else
            ::InternetCloseHandle(m_handle);
    }
    m_handle = handle;
    if (m_handle && m_cancel && !m_cancel->Adopt(m_handle)) m_handle = nullptr;
}
