#pragma once
// The parts of an absolute "http://" or "https://" URL that a redirect is followed with.
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
