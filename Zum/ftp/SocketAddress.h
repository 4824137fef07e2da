#pragma once
// An IPv4 socket address, exactly a sockaddr_in, usable wherever a generic one is wanted.
#include "Zum/ftp/SocketPlatform.h"

#include <cstdint>
#include <string>

namespace nsSocket {

class CSocketAddress : public sockaddr_in {
public:
    // AF_INET, port 0, address 0.
    CSocketAddress();
    // Address and port in host order.
    CSocketAddress(std::uint32_t address, std::uint16_t port);
    // A dotted-decimal address (inet_addr) and a port in host order.
    CSocketAddress(const char* dottedAddress, std::uint16_t port);

    std::string AddressText() const;
    std::uint16_t Port() const;
    std::uint32_t Address() const; // host order

    sockaddr* Generic() { return reinterpret_cast<sockaddr*>(static_cast<sockaddr_in*>(this)); }
    const sockaddr* Generic() const { return reinterpret_cast<const sockaddr*>(static_cast<const sockaddr_in*>(this)); }
};

static_assert(sizeof(CSocketAddress) == 16, "a socket address is exactly a sockaddr_in");

} // namespace nsSocket
