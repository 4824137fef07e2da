#pragma once
// Placeholder until the real client lands: only the observer set the download manager needs.
#include "Zum/ftp/TransferObserver.h"
#include <set>

namespace nsFTP {

class CFtpClient {
public:
    CFtpClient(unsigned int timeoutSeconds, unsigned int bufferSize, bool useStdioFiles)
        : m_uiTimeout(timeoutSeconds), m_uiBufferSize(bufferSize), m_fUseStdioFiles(useStdioFiles) {}
    CFtpClient(const CFtpClient&) = delete;
    CFtpClient& operator=(const CFtpClient&) = delete;

    void AttachObserver(CTransferObserver* observer) { if (observer) m_setObservers.insert(observer); }
    void DetachObserver(CTransferObserver* observer) { m_setObservers.erase(observer); }
    const std::set<CTransferObserver*>& GetObservers() const { return m_setObservers; }

private:
    unsigned int m_uiTimeout;
    unsigned int m_uiBufferSize;
    bool m_fUseStdioFiles;
    std::set<CTransferObserver*> m_setObservers;
};

} // namespace nsFTP
