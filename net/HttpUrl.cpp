#include "net/HttpUrl.h"
#include "net/ServerAddress.h"

#include <cctype>

bool ParseHttpUrl(const std::string& url, CHttpUrl& parsed)
{
    std::string scheme = "http://";
    bool secure = false;
    if (url.size() > 4 && std::tolower(static_cast<unsigned char>(url[4])) == 's') {
        scheme = "https://";
        secure = true;
    }
    if (url.size() < scheme.size()) return false;
    for (std::size_t i = 0; i < scheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(url[i])) != scheme[i]) return false;

    std::string rest = url.substr(scheme.size(), url.find('#') - scheme.size());
    std::size_t slash = rest.find_first_of("/?");
    std::string authority = rest.substr(0, slash);
    std::string object = slash == std::string::npos ? "/" : rest.substr(slash);
    if (object[0] == '?') object.insert(0, "/");

    CServerAddress address;
    if (!ParseServerAddress(authority, address)) return false;
    if (secure && authority.find(':') == std::string::npos) address.port = 443;
    for (char c : object)
        if (static_cast<unsigned char>(c) <= ' ') return false; // a URL never holds blanks or controls

    parsed.host = address.host;
    parsed.port = address.port;
    parsed.object = object;
    parsed.secure = secure;
    return true;
}

std::string EscapeRequestPath(const std::string& path)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    for (char c : path) {
        const unsigned char byte = static_cast<unsigned char>(c);
        const bool plain = byte >= 0x80 || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/';
        if (plain) {
            escaped += c;
        } else {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0x0F];
        }
    }
    return escaped;
}
