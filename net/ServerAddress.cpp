#include "net/ServerAddress.h"

#include <cctype>

#ifndef NUVRA_UPDATE_HOST
#error "NUVRA_UPDATE_HOST must name the update server host"
#endif

namespace {

const unsigned short kHttpPort = 80;
const unsigned short kHttpsPort = 443;

bool IsHostCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
        c == '_';
}

// Whether `text` starts with `prefix`, which is lower case, in any case.
bool StartsWithNoCase(const std::string& text, const std::string& prefix)
{
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

bool ParseAuthority(const std::string& text, unsigned short defaultPort, std::string& host, unsigned short& port)
{
    std::size_t colon = text.find(':');
    std::string name = text.substr(0, colon);
    if (name.empty()) return false;
    for (char c : name)
        if (!IsHostCharacter(c)) return false;

    unsigned long number = defaultPort;
    if (colon != std::string::npos) {
        std::string digits = text.substr(colon + 1);
        if (digits.empty() || digits.size() > 5) return false;
        number = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            number = number * 10 + static_cast<unsigned long>(c - '0');
        }
        if (number == 0 || number > 65535) return false;
    }
    host = name;
    port = static_cast<unsigned short>(number);
    return true;
}

} // namespace

bool ParseServerAddress(const std::string& text, CServerAddress& address)
{
    std::string host;
    unsigned short port = 0;
    if (!ParseAuthority(text, kHttpPort, host, port)) return false;
    address.host = host;
    address.port = port;
    return true;
}

bool ParseUpdateServer(const std::string& text, CServerAddress& address)
{
    std::string authority = text;
    bool secure = false;
    if (StartsWithNoCase(text, "https://")) {
        authority = text.substr(8);
        secure = true;
    } else if (StartsWithNoCase(text, "http://")) {
        authority = text.substr(7);
    }
    // "https://host/" is how a maker copies it from a browser; a longer path is not a server.
    if (!authority.empty() && authority.back() == '/') authority.pop_back();
    std::string host;
    unsigned short port = 0;
    if (!ParseAuthority(authority, secure ? kHttpsPort : kHttpPort, host, port)) return false;
    address.host = host;
    address.port = port;
    address.secure = secure;
    return true;
}

std::string ServerAddressText(const CServerAddress& address)
{
    return (address.secure ? "https://" : "") + address.host + ":" + std::to_string(address.port);
}

CServerAddress DefaultUpdateServer()
{
    CServerAddress address;
    ParseUpdateServer(NUVRA_UPDATE_HOST, address);
    return address;
}

bool SelectUpdateServer(const char* environmentValue, CServerAddress& address)
{
    if (!environmentValue) {
        address = DefaultUpdateServer();
        return true;
    }
    return ParseUpdateServer(environmentValue, address);
}
