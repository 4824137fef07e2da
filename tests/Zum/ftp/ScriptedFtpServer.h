#pragma once
// An FTP server on 127.0.0.1 that follows a script: it greets with the first reply and answers
// each command line with the next one, recording the commands. It serves one connection.
//
// A reply is sent as it is, except that
//   - kPause inside a reply splits it: the parts go out 150 ms apart;
//   - an empty reply sends nothing;
//   - kHangUp as a reply closes the connection instead.
// Commands beyond the script get "221 Bye" for QUIT and "502 Not scripted" otherwise.
#include "Zum/ftp/HeaderLineSocket.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nsTest {

class CScriptedFtpServer {
public:
    static constexpr char kPause = '\x01';
    static const char* const kHangUp;

    explicit CScriptedFtpServer(std::vector<std::string> replies);
    ~CScriptedFtpServer();
    CScriptedFtpServer(const CScriptedFtpServer&) = delete;
    CScriptedFtpServer& operator=(const CScriptedFtpServer&) = delete;

    unsigned short Port() const { return m_port; }
    // The command lines received so far, without their line ends.
    std::vector<std::string> Commands() const;

private:
    void Serve();
    bool SendReply(const std::string& reply);

    std::vector<std::string> m_replies;
    nsSocket::CBlockingSocket m_listener;
    nsSocket::CHeaderLineSocket m_connection;
    unsigned short m_port = 0;
    std::atomic<bool> m_accepted{false};
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_commands;
    std::thread m_thread;
};

} // namespace nsTest
