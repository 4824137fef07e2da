#include "tests/support/TestSocket.h"

#include <utility>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
static_assert(sizeof(SOCKET) == sizeof(CTestSocket::native_type), "SOCKET fits the native type");
#else
#include <arpa/inet.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
void CloseNative(SOCKET s)
{
    ::closesocket(s);
}
SOCKET Native(CTestSocket::native_type s)
{
    return static_cast<SOCKET>(s);
}
const int kShutdownBoth = SD_BOTH;
const int kSendFlags = 0;
#else
void CloseNative(int s)
{
    ::close(s);
}
int Native(int s)
{
    return s;
}
const int kShutdownBoth = SHUT_RDWR;
// A peer that went away must give an error, not kill the process with SIGPIPE.
const int kSendFlags = MSG_NOSIGNAL;
#endif

sockaddr_in Loopback(unsigned short port)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

} // namespace

CTestSocket::native_type CTestSocket::Invalid()
{
#ifdef _WIN32
    return INVALID_SOCKET;
#else
    return -1;
#endif
}

CTestSocket& CTestSocket::operator=(CTestSocket&& other) noexcept
{
    if (this != &other) {
        Close();
        m_s = other.Release();
    }
    return *this;
}

CTestSocket::native_type CTestSocket::Release()
{
    return std::exchange(m_s, Invalid());
}

void CTestSocket::Close()
{
    if (m_s != Invalid()) CloseNative(Native(std::exchange(m_s, Invalid())));
}

CTestSocket CTestSocket::Listen(unsigned short port)
{
    CTestSocket s(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!s) return s;
#ifndef _WIN32
    // A fixed port must be usable again right after an earlier server on it stopped.
    int on = 1;
    ::setsockopt(Native(s.Get()), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
#endif
    sockaddr_in addr = Loopback(port);
    if (::bind(Native(s.Get()), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return CTestSocket();
    if (::listen(Native(s.Get()), 64) != 0) return CTestSocket();
    return s;
}

CTestSocket CTestSocket::Connect(unsigned short port)
{
    CTestSocket s(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!s) return s;
    sockaddr_in addr = Loopback(port);
    if (::connect(Native(s.Get()), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return CTestSocket();
    return s;
}

unsigned short CTestSocket::LocalPort() const
{
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(Native(m_s), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    return ntohs(addr.sin_port);
}

bool CTestSocket::WaitReadable(int timeoutMs) const
{
#ifdef _WIN32
    fd_set set;
    FD_ZERO(&set);
    FD_SET(Native(m_s), &set);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return ::select(0, &set, nullptr, nullptr, &tv) > 0;
#else
    pollfd p{Native(m_s), POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
#endif
}

CTestSocket CTestSocket::Accept() const
{
    CTestSocket accepted(::accept(Native(m_s), nullptr, nullptr));
    // Answers go out at once: otherwise each answer on a kept-alive connection waits for the
    // client's delayed acknowledgement, and every test and benchmark pays for it.
    int on = 1;
    if (accepted)
        ::setsockopt(Native(accepted.Get()), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return accepted;
}

long CTestSocket::Receive(char* buffer, std::size_t size) const
{
    int chunk = size > 65536 ? 65536 : static_cast<int>(size);
    return static_cast<long>(::recv(Native(m_s), buffer, chunk, 0));
}

bool CTestSocket::SendAll(const char* data, std::size_t size) const
{
    while (size > 0) {
        int chunk = size > 65536 ? 65536 : static_cast<int>(size);
        auto sent = ::send(Native(m_s), data, chunk, kSendFlags);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

void CTestSocket::ShutdownBoth() const
{
    if (m_s != Invalid()) ::shutdown(Native(m_s), kShutdownBoth);
}

void CTestSocket::SetAbortiveClose() const
{
    linger l{};
    l.l_onoff = 1;
    l.l_linger = 0;
    ::setsockopt(Native(m_s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
}
