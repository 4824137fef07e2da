#include "net/HttpUrl.h"

#include <cctype>

bool ParseHttpUrl(const std::string& url, CHttpUrl& parsed)
{
    const std::string scheme = "http://";
    if (url.size() < scheme.size()) return false;
    for (std::size_t i = 0; i < scheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(url[i])) != scheme[i]) return false;

    std::string rest = url.substr(scheme.size(), url.find('#') - scheme.size());
    std::size_t slash = rest.find_first_of("/?");
    std::string authority = rest.substr(0, slash);
    std::string object = slash == std::string::npos ? "/" : rest.substr(slash);
    if (object[0] == '?') object.insert(0, "/");

    std::size_t colon = authority.find(':');
    std::string host = authority.substr(0, colon);
    if (host.empty()) return false;
    for (char c : host) {
        bool ok = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
        if (!ok) return false;
    }
    unsigned long port = 80;
    if (colon != std::string::npos) {
        std::string digits = authority.substr(colon + 1);
        if (digits.empty() || digits.size() > 5) return false;
        port = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            port = port * 10 + static_cast<unsigned long>(c - '0');
        }
        if (port == 0 || port > 65535) return false;
    }
    for (char c : object)
        if (static_cast<unsigned char>(c) <= ' ') return false; // a URL never holds blanks or controls

    parsed.host = host;
    parsed.port = static_cast<unsigned short>(port);
    parsed.object = object;
    return true;
}
