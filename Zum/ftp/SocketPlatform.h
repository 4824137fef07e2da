#pragma once
// The one seam between Winsock and BSD sockets. Everything above it is the same code on both;
// error codes are WSAGetLastError values on Windows and errno values elsewhere. On Windows this
// brings in <winsock2.h>, which must precede <windows.h> in a source file.
#include <cstdint>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>
#endif

namespace nsSocket {

#ifdef _WIN32
using SocketHandle = SOCKET;
using SocketLength = int;
#else
using SocketHandle = int;
using SocketLength = socklen_t;
#endif

namespace platform {

constexpr int kSocketError = -1;

SocketHandle InvalidHandle();
int LastError();
void ClearLastError();
// The code of an interrupted blocking call (WSAEINTR or EINTR).
int InterruptedError();

SocketHandle OpenSocket(int type);
// 0 on success, kSocketError otherwise.
int CloseSocket(SocketHandle handle);
// Waits up to `seconds` for the socket to become writable or readable: > 0 ready (or failed;
// the transfer call that follows reports it), 0 timed out.
int WaitReady(SocketHandle handle, bool forWrite, unsigned int seconds);
int SendBytes(SocketHandle handle, const char* data, int length);
int ReceiveBytes(SocketHandle handle, char* buffer, int size);
int SendTo(SocketHandle handle, const char* data, int length, const sockaddr* to);
int ReceiveFrom(SocketHandle handle, char* buffer, int size, sockaddr* from);

// Name look-ups: 0 on success, else the error code, which is also left as the last error.
int ResolveIPv4(const std::string& name, in_addr& address);
int ResolveName(const in_addr& address, std::string& name);

// The system's description of an error code, or "" when it has none.
std::string SystemErrorText(int code);

} // namespace platform
} // namespace nsSocket
