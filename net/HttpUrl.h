#pragma once
// The parts of an absolute "http://" URL that a redirect is followed with.
#include <string>

struct CHttpUrl {
    std::string host;
    unsigned short port = 80;
    std::string object; // path and query, at least "/"
};

// Parses "http://host[:port][/path][?query]" (the scheme in any case; a fragment is dropped).
// False for anything else: relative references, other schemes, user names, an empty host or a
// bad port. The fetcher speaks plain HTTP only, so an "https" target cannot be followed.
bool ParseHttpUrl(const std::string& url, CHttpUrl& parsed);
