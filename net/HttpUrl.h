#pragma once
// The parts of an absolute "http://" or "https://" URL that a redirect is followed with, and the
// request path made from a server path.
#include <string>

struct CHttpUrl {
    std::string host;
    unsigned short port = 80;
    std::string object;  // path and query, at least "/"
    bool secure = false; // "https": port 443 by default
};

// Parses "http://host[:port][/path][?query]" and the same with "https://" (the scheme in any
// case; a fragment is dropped). False for anything else: relative references, other schemes,
// user names, an empty host or a bad port.
bool ParseHttpUrl(const std::string& url, CHttpUrl& parsed);

// The request path for a path on the server ("/update/Nuvra/doc/a b#1.txt"): every ASCII byte but
// letters, digits, "-._~" and "/" percent-escaped, so that a name Windows can store ("#", "%",
// blanks, "&", "+", ...) reaches the server as that name and not as a fragment, a query or a bad
// request. Bytes from 0x80 up stay raw: the server keeps Korean names as code page 949 bytes and
// matches the bytes as they are sent.
std::string EscapeRequestPath(const std::string& path);
