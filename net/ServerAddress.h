#pragma once
// Where the update server is: the compiled-in address, unless the environment variable
// NUVRA_UPDATE_SERVER names another one. Both are "host[:port]" (plain HTTP, port 80 by
// default) or "https://host[:port]" (port 443 by default); "http://host[:port]" says the same as
// the bare form. A value that does not parse is never replaced by another server: a maker testing
// a staging server must not reach production without knowing it.
#include <string>

struct CServerAddress {
    std::string host;
    unsigned short port = 80;
    bool secure = false; // HTTPS, its certificate checked by Windows

    bool operator==(const CServerAddress& o) const { return host == o.host && port == o.port && secure == o.secure; }
};

// Parses the authority "host" or "host:port", the port 80 when none is given. False for an empty
// or malformed host and for a port that is not a number from 1 to 65535; `address` is then
// unchanged. Its `secure` stays as it was.
bool ParseServerAddress(const std::string& text, CServerAddress& address);

// Parses an update server: the authority, with "http://" or "https://" in front or without (the
// scheme in any case), and at most one "/" after it. False for anything else; `address` is then unchanged.
bool ParseUpdateServer(const std::string& text, CServerAddress& address);

// The address for the log and the user: "host:port" for plain HTTP, "https://host:port" for TLS.
std::string ServerAddressText(const CServerAddress& address);

// The compiled-in address (NUVRA_UPDATE_HOST, which the build checks parses).
CServerAddress DefaultUpdateServer();

// The address to use given the environment variable's value (null when it is not set): the
// compiled-in one without it, else the value's. False, with `address` unchanged, when the value
// does not parse.
bool SelectUpdateServer(const char* environmentValue, CServerAddress& address);
