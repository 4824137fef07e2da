#include "Zum/ftp/SocketAddress.h"

#include <cstring>

namespace nsSocket {

CSocketAddress::CSocketAddress() : CSocketAddress(0u, 0) {}

CSocketAddress::CSocketAddress(std::uint32_t address, std::uint16_t port)
{
    std::memset(static_cast<sockaddr_in*>(this), 0, sizeof(sockaddr_in));
    sin_family = AF_INET;
    sin_port = htons(port);
    sin_addr.s_addr = htonl(address);
}

CSocketAddress::CSocketAddress(const char* dottedAddress, std::uint16_t port)
{
    std::memset(static_cast<sockaddr_in*>(this), 0, sizeof(sockaddr_in));
    sin_family = AF_INET;
    sin_port = htons(port);
    sin_addr.s_addr = dottedAddress != nullptr ? ::inet_addr(dottedAddress) : INADDR_NONE;
}

std::string CSocketAddress::AddressText() const
{
    const char* text = ::inet_ntoa(sin_addr);
    return text != nullptr ? text : "";
}

std::uint16_t CSocketAddress::Port() const
{
    return ntohs(sin_port);
}

std::uint32_t CSocketAddress::Address() const
{
    return ntohl(sin_addr.s_addr);
}

} // namespace nsSocket
