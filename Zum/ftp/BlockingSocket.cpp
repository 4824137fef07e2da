#include "Zum/ftp/BlockingSocket.h"

#include <utility>

namespace nsSocket {

namespace {
constexpr int kListenBacklog = 5;
} // namespace

CBlockingSocket::~CBlockingSocket()
{
    Cleanup();
}

CBlockingSocket::CBlockingSocket(CBlockingSocket&& other) noexcept : m_socket(std::exchange(other.m_socket, 0)) {}

CBlockingSocket& CBlockingSocket::operator=(CBlockingSocket&& other) noexcept
{
    if (this != &other) {
        Cleanup();
        m_socket = std::exchange(other.m_socket, 0);
    }
    return *this;
}

void CBlockingSocket::Cleanup() noexcept
{
    if (m_socket != 0) platform::CloseSocket(m_socket);
    m_socket = 0;
}

void CBlockingSocket::Create(int type)
{
    Cleanup(); // a socket still held would otherwise leak
    m_socket = platform::OpenSocket(type);
    if (m_socket == platform::InvalidHandle()) throw CBlockingSocketException("Create");
}

void CBlockingSocket::Bind(const CSocketAddress& address)
{
    if (::bind(m_socket, address.Generic(), sizeof(sockaddr_in)) == platform::kSocketError)
        throw CBlockingSocketException("Bind");
}

void CBlockingSocket::Listen()
{
    if (::listen(m_socket, kListenBacklog) == platform::kSocketError) throw CBlockingSocketException("Listen");
}

bool CBlockingSocket::Accept(CBlockingSocket& newSocket, CSocketAddress& address)
{
    SocketLength length = sizeof(sockaddr_in);
    const SocketHandle accepted = ::accept(m_socket, address.Generic(), &length);
    if (accepted == platform::InvalidHandle()) {
        const int error = platform::LastError();
        if (error == platform::InterruptedError()) return false;
        throw CBlockingSocketException("Accept", error);
    }
    newSocket.Cleanup();
    newSocket.m_socket = accepted;
    return true;
}

void CBlockingSocket::Close()
{
    if (m_socket != 0 && platform::CloseSocket(m_socket) == platform::kSocketError)
        throw CBlockingSocketException("Close");
    m_socket = 0;
}

void CBlockingSocket::Connect(const CSocketAddress& address)
{
    if (::connect(m_socket, address.Generic(), sizeof(sockaddr_in)) == platform::kSocketError)
        throw CBlockingSocketException("Connect");
}

int CBlockingSocket::Write(const char* data, int length, unsigned int seconds)
{
    int total = 0;
    do {
        total += Send(data + total, length - total, seconds);
    } while (total < length);
    return total;
}

void CBlockingSocket::WaitReady(bool forWrite, unsigned int seconds, const char* timeoutText)
{
    // A time-out is no socket error: its exception carries code 0.
    platform::ClearLastError();
    if (platform::WaitReady(m_socket, forWrite, seconds) == 0) throw CBlockingSocketException(timeoutText, 0);
}

int CBlockingSocket::Send(const char* data, int length, unsigned int seconds)
{
    WaitReady(true, seconds, "Send timeout");
    const int sent = platform::SendBytes(m_socket, data, length);
    if (sent == platform::kSocketError) throw CBlockingSocketException("Send");
    return sent;
}

int CBlockingSocket::Receive(char* buffer, int size, unsigned int seconds)
{
    WaitReady(false, seconds, "Receive timeout");
    const int received = platform::ReceiveBytes(m_socket, buffer, size);
    if (received == platform::kSocketError) throw CBlockingSocketException("Receive");
    return received;
}

int CBlockingSocket::ReceiveDatagram(char* buffer, int size, CSocketAddress& address, unsigned int seconds)
{
    WaitReady(false, seconds, "Receive timeout");
    const int received = platform::ReceiveFrom(m_socket, buffer, size, address.Generic());
    if (received == platform::kSocketError) throw CBlockingSocketException("ReceiveDatagram");
    return received;
}

int CBlockingSocket::SendDatagram(const char* data, int length, const CSocketAddress& address, unsigned int seconds)
{
    WaitReady(true, seconds, "Send timeout");
    const int sent = platform::SendTo(m_socket, data, length, address.Generic());
    if (sent == platform::kSocketError) throw CBlockingSocketException("SendDatagram");
    return sent;
}

void CBlockingSocket::GetPeerName(CSocketAddress& address)
{
    SocketLength length = sizeof(sockaddr_in);
    if (::getpeername(m_socket, address.Generic(), &length) == platform::kSocketError)
        throw CBlockingSocketException("GetPeerName");
}

void CBlockingSocket::GetSockName(CSocketAddress& address)
{
    SocketLength length = sizeof(sockaddr_in);
    if (::getsockname(m_socket, address.Generic(), &length) == platform::kSocketError)
        throw CBlockingSocketException("GetSockName");
}

CSocketAddress CBlockingSocket::GetHostByName(const std::string& name, unsigned short port)
{
    in_addr address{};
    const int error = platform::ResolveIPv4(name, address);
    if (error != 0) throw CBlockingSocketException("GetHostByName", error);
    CSocketAddress result(0u, port);
    result.sin_addr = address;
    return result;
}

std::string CBlockingSocket::GetHostByAddr(const CSocketAddress& address)
{
    std::string name;
    const int error = platform::ResolveName(address.sin_addr, name);
    if (error != 0) throw CBlockingSocketException("GetHostByAddr", error);
    return name;
}

} // namespace nsSocket
