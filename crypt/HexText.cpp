#include "crypt/HexText.h"

namespace {

int DigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

bool DecodeHex(const std::string& text, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    std::string::size_type first = 0, end = text.size();
    while (first < end && IsSpace(text[first])) ++first;
    while (end > first && IsSpace(text[end - 1])) --end;
    if ((end - first) % 2 != 0) return false;
    for (std::string::size_type i = first; i < end; i += 2) {
        int high = DigitValue(text[i]), low = DigitValue(text[i + 1]);
        if (high < 0 || low < 0) {
            bytes.clear();
            return false;
        }
        bytes.push_back(static_cast<unsigned char>(high * 16 + low));
    }
    return true;
}
