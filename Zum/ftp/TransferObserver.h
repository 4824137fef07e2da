#pragma once
#include <string>

namespace nsFTP {

// Receives what an FTP client does. Every operation has an empty default body, so an
// observer overrides only what it needs. The order of the operations is fixed.
class CTransferObserver {
public:
    virtual ~CTransferObserver() = default;
    virtual void OnInternalError(const std::string& /*error*/, const std::string& /*fileName*/, unsigned int /*line*/)
    {
    }
    virtual void OnBytesReceived(long long /*count*/) {}
    virtual void OnBytesSent(long long /*count*/) {}
    virtual void OnPreReceiveFile(const std::string& /*remote*/, const std::string& /*local*/, long long /*size*/) {}
    virtual void OnPreSendFile(const std::string& /*local*/, const std::string& /*remote*/, long long /*size*/) {}
    virtual void OnPostReceiveFile(const std::string& /*remote*/, const std::string& /*local*/, long long /*size*/) {}
    virtual void OnPostSendFile(const std::string& /*local*/, const std::string& /*remote*/, long long /*size*/) {}
    virtual void OnSendCommand(const std::string& /*command*/) {}
    virtual void OnResponse(const std::string& /*reply*/) {}
};

} // namespace nsFTP
