#include "net/ServerAddress.h"

#ifndef NUVRA_UPDATE_HOST
#error "NUVRA_UPDATE_HOST must name the update server host"
#endif

namespace {

bool IsHostCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
        c == '_';
}

} // namespace

CServerAddress DefaultUpdateServer()
{
    return CServerAddress{NUVRA_UPDATE_HOST, 80};
}

bool ParseServerAddress(const std::string& text, CServerAddress& address)
{
    std::size_t colon = text.find(':');
    std::string host = text.substr(0, colon);
    if (host.empty()) return false;
    for (char c : host)
        if (!IsHostCharacter(c)) return false;

    unsigned long port = 80;
    if (colon != std::string::npos) {
        std::string digits = text.substr(colon + 1);
        if (digits.empty() || digits.size() > 5) return false;
        port = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            port = port * 10 + static_cast<unsigned long>(c - '0');
        }
        if (port == 0 || port > 65535) return false;
    }
    address.host = host;
    address.port = static_cast<unsigned short>(port);
    return true;
}

CServerAddress SelectUpdateServer(const char* environmentValue)
{
    CServerAddress address = DefaultUpdateServer();
    if (environmentValue) ParseServerAddress(environmentValue, address);
    return address;
}
