#include "ScriptedFtpServer.h"

#include <chrono>

namespace nsTest {

using nsSocket::CBlockingSocket;
using nsSocket::CBlockingSocketException;
using nsSocket::CSocketAddress;

const char* const CScriptedFtpServer::kHangUp = "\x02hang up";

CScriptedFtpServer::CScriptedFtpServer(std::vector<std::string> replies) : m_replies(std::move(replies))
{
    m_listener.Create(SOCK_STREAM);
    m_listener.Bind(CSocketAddress("127.0.0.1", 0));
    m_listener.Listen();
    CSocketAddress bound;
    m_listener.GetSockName(bound);
    m_port = bound.Port();
    m_thread = std::thread([this] { Serve(); });
}

CScriptedFtpServer::~CScriptedFtpServer()
{
    m_stop = true;
    if (!m_accepted) {
        // Accept has no time-out: a connection of our own releases it.
        try {
            CBlockingSocket wake;
            wake.Create(SOCK_STREAM);
            wake.Connect(CSocketAddress("127.0.0.1", m_port));
        } catch (const CBlockingSocketException&) {
        }
    }
    m_thread.join();
}

std::vector<std::string> CScriptedFtpServer::Commands() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

bool CScriptedFtpServer::SendReply(const std::string& reply)
{
    if (reply == kHangUp) {
        m_connection.Cleanup();
        return false;
    }
    size_t start = 0;
    while (start <= reply.size()) {
        const size_t pause = reply.find(kPause, start);
        const std::string part = reply.substr(start, pause == std::string::npos ? std::string::npos : pause - start);
        if (!part.empty()) m_connection.Write(part.data(), static_cast<int>(part.size()), 5);
        if (pause == std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        start = pause + 1;
    }
    return true;
}

void CScriptedFtpServer::Serve()
{
    try {
        CSocketAddress peer;
        if (!m_listener.Accept(m_connection, peer)) return;
        m_accepted = true;
        if (m_stop) return;

        size_t next = 0;
        if (next < m_replies.size() && !SendReply(m_replies[next++])) return;
        for (;;) {
            char line[1024];
            int length = 0;
            try {
                length = m_connection.ReadHeaderLine(line, sizeof line, 1);
            } catch (const CBlockingSocketException& e) {
                if (e.Message() == "Receive timeout" && !m_stop) continue;
                return;
            }
            std::string command(line, static_cast<size_t>(length));
            while (!command.empty() && (command.back() == '\n' || command.back() == '\r')) command.pop_back();
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_commands.push_back(command);
            }
            std::string reply;
            if (next < m_replies.size())
                reply = m_replies[next++];
            else
                reply = command == "QUIT" ? "221 Bye\r\n" : "502 Not scripted\r\n";
            if (!SendReply(reply)) return;
        }
    } catch (const CBlockingSocketException&) {
        // The client went away; nothing more to serve.
    }
}

} // namespace nsTest
