#pragma once
// One request as the test HTTP server received it.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class CHttpRequest {
public:
    std::string method;
    std::string path;                                         // the request target as sent, query included
    std::string version;                                      // "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers; // in arrival order, values trimmed
    std::size_t connection = 0; // which connection it came on: 1 for the server's first, and so on

    // How often a header arrived; names compare without regard to case, as in HTTP.
    std::size_t CountHeader(const std::string& name) const;
    // The first value of a header, or "" when it is absent.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const { return CountHeader(name) > 0; }
};
