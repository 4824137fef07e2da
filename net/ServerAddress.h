#pragma once
// Where the update server is: the compiled-in host on port 80, unless the environment variable
// NUVRA_UPDATE_SERVER names another one as "host" or "host:port".
#include <string>

struct CServerAddress {
    std::string host;
    unsigned short port = 80;

    bool operator==(const CServerAddress& o) const { return host == o.host && port == o.port; }
};

// The compiled-in address (NUVRA_UPDATE_HOST, port 80).
CServerAddress DefaultUpdateServer();

// Parses "host" or "host:port". False for an empty or malformed host and for a port that is not
// a number from 1 to 65535; `address` is then unchanged.
bool ParseServerAddress(const std::string& text, CServerAddress& address);

// The address to use given the environment variable's value (null when it is not set). A value
// that does not parse is ignored in favour of the compiled-in address.
CServerAddress SelectUpdateServer(const char* environmentValue);
