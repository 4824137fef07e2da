#include "Zum/ftp/SocketPlatform.h"

#include <climits>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace nsSocket {
namespace platform {

#ifdef _WIN32

SocketHandle InvalidHandle()
{
    return INVALID_SOCKET;
}
int LastError()
{
    return ::WSAGetLastError();
}
void ClearLastError()
{
    ::WSASetLastError(0);
}
int InterruptedError()
{
    return WSAEINTR;
}

SocketHandle OpenSocket(int type)
{
    return ::socket(AF_INET, type, 0);
}
int CloseSocket(SocketHandle handle)
{
    return ::closesocket(handle) == 0 ? 0 : kSocketError;
}

int WaitReady(SocketHandle handle, bool forWrite, unsigned int seconds)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(handle, &set);
    timeval timeout;
    timeout.tv_sec = static_cast<long>(seconds > LONG_MAX ? LONG_MAX : seconds);
    timeout.tv_usec = 0;
    return ::select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &timeout);
}

int SendBytes(SocketHandle handle, const char* data, int length)
{
    return ::send(handle, data, length, 0);
}

int ReceiveBytes(SocketHandle handle, char* buffer, int size)
{
    return ::recv(handle, buffer, size, 0);
}

int SendTo(SocketHandle handle, const char* data, int length, const sockaddr* to)
{
    return ::sendto(handle, data, length, 0, to, sizeof(sockaddr_in));
}

int ReceiveFrom(SocketHandle handle, char* buffer, int size, sockaddr* from)
{
    SocketLength length = sizeof(sockaddr_in);
    return ::recvfrom(handle, buffer, size, 0, from, &length);
}

int ResolveIPv4(const std::string& name, in_addr& address)
{
    const hostent* host = ::gethostbyname(name.c_str());
    if (host == nullptr || host->h_addrtype != AF_INET || host->h_addr_list[0] == nullptr) {
        const int error = ::WSAGetLastError();
        return error != 0 ? error : WSANO_DATA;
    }
    std::memcpy(&address, host->h_addr_list[0], sizeof address);
    return 0;
}

int ResolveName(const in_addr& address, std::string& name)
{
    const hostent* host = ::gethostbyaddr(reinterpret_cast<const char*>(&address), sizeof address, AF_INET);
    if (host == nullptr || host->h_name == nullptr) {
        const int error = ::WSAGetLastError();
        return error != 0 ? error : WSANO_DATA;
    }
    name = host->h_name;
    return 0;
}

std::string SystemErrorText(int code)
{
    char* text = nullptr;
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                         nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                         reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result;
    if (length != 0 && text != nullptr) result.assign(text, length);
    if (text != nullptr) ::LocalFree(text);
    return result;
}

#else

namespace {
// Resolver failures have codes of their own (EAI_*), kept apart from errno values by an offset
// so that SystemErrorText can describe both.
constexpr int kResolverErrorBase = 0x10000;

int ResolverError(int eai)
{
    if (eai == EAI_SYSTEM) return errno != 0 ? errno : EIO;
    return kResolverErrorBase + (eai < 0 ? -eai : eai);
}
} // namespace

SocketHandle InvalidHandle()
{
    return -1;
}
int LastError()
{
    return errno;
}
void ClearLastError()
{
    errno = 0;
}
int InterruptedError()
{
    return EINTR;
}

SocketHandle OpenSocket(int type)
{
    int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    // Handle 0 means "no socket" to the layer above; when standard input is closed the system
    // may hand out descriptor 0, so move the socket elsewhere.
    if (fd == 0) {
        const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
        const int error = errno;
        ::close(fd);
        errno = error;
        fd = moved;
    }
    return fd;
}

int CloseSocket(SocketHandle handle)
{
    return ::close(handle) == 0 ? 0 : kSocketError;
}

int WaitReady(SocketHandle handle, bool forWrite, unsigned int seconds)
{
    // poll instead of select: descriptors above FD_SETSIZE must not overflow an fd_set.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const long long ms = left.count() < 0 ? 0 : left.count();
        pollfd entry{handle, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
        const int result = ::poll(&entry, 1, ms > INT_MAX ? INT_MAX : static_cast<int>(ms));
        // A signal is no reason to give up the wait early.
        if (result < 0 && errno == EINTR && ms > 0) continue;
        return result;
    }
}

int SendBytes(SocketHandle handle, const char* data, int length)
{
    // No SIGPIPE when the peer has gone: the error comes back as EPIPE instead.
    return static_cast<int>(::send(handle, data, static_cast<size_t>(length), MSG_NOSIGNAL));
}

int ReceiveBytes(SocketHandle handle, char* buffer, int size)
{
    return static_cast<int>(::recv(handle, buffer, static_cast<size_t>(size), 0));
}

int SendTo(SocketHandle handle, const char* data, int length, const sockaddr* to)
{
    return static_cast<int>(::sendto(handle, data, static_cast<size_t>(length), MSG_NOSIGNAL, to, sizeof(sockaddr_in)));
}

int ReceiveFrom(SocketHandle handle, char* buffer, int size, sockaddr* from)
{
    SocketLength length = sizeof(sockaddr_in);
    return static_cast<int>(::recvfrom(handle, buffer, static_cast<size_t>(size), 0, from, &length));
}

int ResolveIPv4(const std::string& name, in_addr& address)
{
    // getaddrinfo rather than gethostbyname: it is safe to call from several threads.
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int eai = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
    if (eai != 0 || list == nullptr) {
        const int error = ResolverError(eai != 0 ? eai : EAI_NONAME);
        errno = error;
        return error;
    }
    address = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr;
    ::freeaddrinfo(list);
    return 0;
}

int ResolveName(const in_addr& address, std::string& name)
{
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr = address;
    char host[NI_MAXHOST];
    const int eai = ::getnameinfo(reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress, host,
                                  sizeof host, nullptr, 0, NI_NAMEREQD);
    if (eai != 0) {
        const int error = ResolverError(eai);
        errno = error;
        return error;
    }
    name = host;
    return 0;
}

std::string SystemErrorText(int code)
{
    if (code > kResolverErrorBase) return ::gai_strerror(-(code - kResolverErrorBase));
    const char* text = ::strerror(code);
    return text != nullptr ? text : "";
}

#endif

} // namespace platform
} // namespace nsSocket
