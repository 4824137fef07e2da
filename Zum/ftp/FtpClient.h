#pragma once
// A blocking FTP client (RFC 959 command set) on the blocking sockets: logon directly or through
// one of nine firewall schemes, commands without a data connection, replies read line by line.
// Nothing here throws to the caller; failures come back as results and, for socket errors and
// failed logons, as OnInternalError to every attached observer.
#include "Zum/ftp/LogonInfo.h"
#include "Zum/ftp/Representation.h"
#include "Zum/ftp/TransferObserver.h"

#include <atomic>
#include <memory>
#include <optional>
#include <queue>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
// <windows.h> turns RemoveDirectory into RemoveDirectoryA. Seeing it here gives that member the
// same name in every file, whether or not the file includes <windows.h> itself.
#include <windows.h>
#endif

// The socket headers bring in Winsock, which must come before <windows.h>; users of the client
// should not have to care, so the control socket is only declared here.
namespace nsSocket {
class CBlockingSocket;
class CBlockingSocketException;
} // namespace nsSocket

namespace nsFTP {

// Results of the command operations.
constexpr int RESULT_OK = 0;       // final reply 2xx
constexpr int RESULT_REJECTED = 1; // final reply 4xx or 5xx
constexpr int RESULT_ERROR = -1;   // not sent, no reply, or a 1xx/3xx reply where none belongs

class CFtpClient {
public:
    CFtpClient(unsigned int timeoutSeconds = 10, unsigned int bufferSize = 2048, bool useStdioFiles = true);
    // Aborts a running transfer and logs out when still connected.
    ~CFtpClient();
    CFtpClient(const CFtpClient&) = delete;
    CFtpClient& operator=(const CFtpClient&) = delete;

    // Observers are not owned; a null pointer is ignored. Notifications go through the set in
    // its order.
    void AttachObserver(CTransferObserver* observer);
    void DetachObserver(CTransferObserver* observer);
    const std::set<CTransferObserver*>& GetObservers() const { return m_setObservers; }

    void SetResumeMode(bool on) { m_fResumeIfPossible = on; }
    bool IsResumeMode() const { return m_fResumeIfPossible; }
    bool IsConnected() const;
    bool IsTransferringData() const { return m_fTransferInProgress; }
    // Asks a running transfer to stop; the only call meant for another thread.
    void Abort();

    unsigned int Timeout() const { return m_uiTimeout; }
    size_t BufferSize() const { return m_vBuffer.size(); }
    bool UsesStdioFiles() const { return m_fUseStdioFiles; }
    const CLogonInfo& LastLogonInfo() const { return m_LastLogonInfo; }
    // The representation type last set on the server; null after connecting and closing.
    const CRepresentation* CurrentRepresentation() const { return m_pCurrentRepresentation.get(); }

    bool Login(const CLogonInfo& logonInfo);
    int Logout();

    // Writes one command line. Refuses a command holding a line break, which would smuggle a
    // second command onto the control connection.
    bool SendCommand(const std::string& command);
    // Reads one whole reply, multi-line replies included; code is its first digit.
    bool GetResponse(int& code);
    bool GetResponse(std::string& text, int& code);

    int ChangeWorkingDirectory(const std::string& directory);
    int ChangeToParentDirectory();
    int PrintWorkingDirectory();
    int System();
    int Noop();
    int MakeDirectory(const std::string& directory);
    int Site(const std::string& text);
    int Help(const std::string& topic = std::string());
    int Delete(const std::string& path);
    int RemoveDirectory(const std::string& directory);
    // 0 file, 1 record, 2 page; anything else is RESULT_ERROR without sending.
    int FileStructure(int structure);
    // 0 stream, 1 block, 2 compressed; anything else is RESULT_ERROR without sending.
    int TransferMode(int mode);
    int Status(const std::string& path = std::string());
    int Allocate(long long bytes, std::optional<long long> recordSize = std::nullopt);
    int StructureMount(const std::string& path);
    int Reinitialize();
    int Rename(const std::string& from, const std::string& to);
    // TYPE; on success the representation becomes the current one.
    int RepresentationType(const CRepresentation& representation);

private:
    bool OpenControlConnection(const std::string& host, int port);
    void CloseControlConnection() noexcept;
    bool ReadResponseLine(std::string& line, int& code);
    int SimpleCommand(const std::string& command);
    void ReportError(const std::string& text, unsigned int line);
    void ReportSocketError(const nsSocket::CBlockingSocketException& error, unsigned int line);

    unsigned int m_uiTimeout;
    std::string m_strEolCharacterSequence = "\r\n";
    bool m_fUseStdioFiles;
    std::vector<char> m_vBuffer;
    std::queue<std::string> m_qResponseLines;
    std::unique_ptr<CRepresentation> m_pCurrentRepresentation;
    std::unique_ptr<nsSocket::CBlockingSocket> m_sckControlConnection;
    std::atomic<bool> m_fTransferInProgress{false};
    std::atomic<bool> m_fAbortTransfer{false};
    std::atomic<bool> m_fResumeIfPossible{true};
    std::set<CTransferObserver*> m_setObservers;
    CLogonInfo m_LastLogonInfo;
};

} // namespace nsFTP
