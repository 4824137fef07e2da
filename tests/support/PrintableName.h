#pragma once
// Test names must stay printable ASCII: other bytes are shown as \xNN.
#include <string>

inline std::string Printable(const std::string& text)
{
    std::string out;
    for (unsigned char byte : text) {
        static const char kHex[] = "0123456789abcdef";
        if (byte >= 0x20 && byte < 0x7f)
            out += static_cast<char>(byte);
        else
            out += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
    }
    return out;
}
