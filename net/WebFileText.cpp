#include "net/WebFileText.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

namespace {

// Parses a decimal Content-Length; false when it is absent or not a number.
bool ParseLength(const std::string& text, unsigned long long& value)
{
    std::size_t b = text.find_first_not_of(" \t");
    std::size_t e = text.find_last_not_of(" \t\r\n");
    if (b == std::string::npos) return false;
    value = 0;
    for (std::size_t i = b; i <= e; ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return false;
        if (value > (UINT64_MAX - 9) / 10) return false;
        value = value * 10 + static_cast<unsigned long long>(c - '0');
    }
    return true;
}

} // namespace

std::optional<std::string> FormatInternetStatus(unsigned long status, const std::string& info)
{
    switch (status) {
    case 10: return "Resolving name " + info;
    case 11: return "Name resolved " + info;
    case 20: return std::string("Connecting to socket address");
    case 21: return std::string("Connected to socket address");
    case 30: return std::string("Sending request");
    case 31: return std::string("Request sent");
    case 40:
    case 70: return std::nullopt;
    case 41: return std::string("Response received");
    case 50: return std::string("Closing the connection to the server");
    case 51: return std::string("Connection to the server closed");
    case 60: return std::string("Handle created");
    case 100: return std::string("Request complete");
    case 110: return std::string("Being redirected");
    default: {
        char text[64];
        std::snprintf(text, sizeof text, "Unknown status: %d", static_cast<int>(status));
        return std::string(text);
    }
    }
}

std::optional<std::string> FindRedirectLocation(const std::string& rawHeaders)
{
    // Only at the start of a header line, so that "Content-Location: " is not taken for it; the
    // name in any case, as HTTP header names are.
    const std::string key = "location: ";
    std::size_t line = 0;
    while (line < rawHeaders.size()) {
        std::size_t end = rawHeaders.find_first_of("\r\n", line);
        std::size_t stop = end == std::string::npos ? rawHeaders.size() : end;
        if (stop - line >= key.size()) {
            bool match = true;
            for (std::size_t i = 0; i < key.size() && match; ++i)
                match = std::tolower(static_cast<unsigned char>(rawHeaders[line + i])) == key[i];
            if (match) return rawHeaders.substr(line + key.size(), stop - line - key.size());
        }
        if (end == std::string::npos) break;
        line = rawHeaders.find_first_not_of("\r\n", end);
        if (line == std::string::npos) break;
    }
    return std::nullopt;
}

int ReportedLengthResult(const std::string& contentLength)
{
    unsigned long long length = 0;
    if (!ParseLength(contentLength, length)) return 0;
    return static_cast<int>(static_cast<std::uint32_t>(length));
}

bool IsCompleteBody(const std::string& contentLength, unsigned long long received)
{
    unsigned long long length = 0;
    if (!ParseLength(contentLength, length)) return true;
    return received == length;
}

bool AnnouncedLengthAgrees(const std::string& contentLength, long long expectedSize, long long sizeLimit)
{
    unsigned long long length = 0;
    if (!ParseLength(contentLength, length)) return true;
    if (expectedSize >= 0 && length != static_cast<unsigned long long>(expectedSize)) return false;
    return sizeLimit < 0 || length <= static_cast<unsigned long long>(sizeLimit);
}

bool IsEncodedBody(const std::string& contentEncoding)
{
    std::size_t b = contentEncoding.find_first_not_of(" \t");
    if (b == std::string::npos) return false;
    std::size_t e = contentEncoding.find_last_not_of(" \t\r\n");
    std::string coding = contentEncoding.substr(b, e - b + 1);
    for (char& c : coding) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return coding != "identity";
}

std::optional<std::string> CertificateProblem(unsigned long error)
{
    // WinInet's codes (wininet.h); spelled as numbers so that this builds without Windows.
    switch (error) {
    case 12037: return std::string("the server's certificate has expired or is not valid yet");
    case 12038: return std::string("the server's certificate is issued for another name");
    case 12045: return std::string("the server's certificate is not issued by a trusted authority");
    case 12055: return std::string("the server's certificate has errors");
    case 12056: return std::string("the server's certificate gives no way to check its revocation");
    case 12057: return std::string("the revocation of the server's certificate could not be checked");
    case 12157: return std::string("no secure channel could be set up with the server");
    case 12169: return std::string("the server's certificate is invalid");
    case 12170: return std::string("the server's certificate has been revoked");
    default: return std::nullopt;
    }
}
