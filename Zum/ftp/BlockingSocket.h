#pragma once
// An IPv4 stream or datagram socket whose every wait is bounded by a time-out in whole seconds.
// Every failure throws CBlockingSocketException; only Accept (interrupted) and Cleanup report
// otherwise. The socket library must have been initialised by the application.
#include "Zum/ftp/BlockingSocketException.h"
#include "Zum/ftp/SocketAddress.h"
#include "Zum/ftp/SocketPlatform.h"

#include <string>

namespace nsSocket {

class CBlockingSocket {
public:
    CBlockingSocket() = default;
    // Closes a socket still held, so no handle outlives its owner.
    ~CBlockingSocket();
    CBlockingSocket(const CBlockingSocket&) = delete;
    CBlockingSocket& operator=(const CBlockingSocket&) = delete;
    CBlockingSocket(CBlockingSocket&& other) noexcept;
    CBlockingSocket& operator=(CBlockingSocket&& other) noexcept;

    // Closes the socket if there is one, ignoring errors; never throws.
    void Cleanup() noexcept;
    // SOCK_STREAM or SOCK_DGRAM. A failure leaves the platform's invalid handle until
    // Cleanup or Close.
    void Create(int type = SOCK_STREAM);
    void Bind(const CSocketAddress& address);
    void Listen();
    // The accepted connection goes into newSocket (whose previous socket, if any, is closed
    // first), the peer's address into address. False when the wait was interrupted.
    bool Accept(CBlockingSocket& newSocket, CSocketAddress& address);
    // On failure the handle is left as it was.
    void Close();
    void Connect(const CSocketAddress& address);

    // Sends until the whole length has gone; at least one send, also for length 0.
    int Write(const char* data, int length, unsigned int seconds);
    int Send(const char* data, int length, unsigned int seconds);
    // 0 when the peer has closed.
    int Receive(char* buffer, int size, unsigned int seconds);
    int ReceiveDatagram(char* buffer, int size, CSocketAddress& address, unsigned int seconds);
    int SendDatagram(const char* data, int length, const CSocketAddress& address, unsigned int seconds);

    void GetPeerName(CSocketAddress& address);
    void GetSockName(CSocketAddress& address);

    static CSocketAddress GetHostByName(const std::string& name, unsigned short port = 0);
    static std::string GetHostByAddr(const CSocketAddress& address);

    // 0 when the object holds no socket.
    SocketHandle Handle() const { return m_socket; }

protected:
    SocketHandle m_socket = 0;

private:
    void WaitReady(bool forWrite, unsigned int seconds, const char* timeoutText);
};

} // namespace nsSocket
