#include "release/EntryPathSafety.h"

#include <cstring>

namespace {

std::string UpperAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

bool IsReservedDeviceName(const std::string& component)
{
    // Windows reads "nul.txt" and "nul .txt" as the device too: only the part before the first
    // dot counts, without trailing blanks.
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    base = UpperAscii(base);
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (base == device) return true;
    }
    if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
    const std::string number = base.substr(3);
    if (number.size() == 1 && number[0] >= '1' && number[0] <= '9') return true;
    // Windows reserves COM and LPT with a superscript 1, 2 or 3 too: those digits in code page
    // 949 and, for a system on code page 1252, in that one.
    static const char* const kSuperscripts[] = {"\xA9\xF6", "\xA9\xF7", "\xA9\xF8", "\xB9", "\xB2", "\xB3"};
    for (const char* digit : kSuperscripts) {
        if (number == digit) return true;
    }
    return false;
}

bool IsLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

bool IsTrailByte(unsigned char byte)
{
    return (byte >= 0x41 && byte <= 0x5A) || (byte >= 0x61 && byte <= 0x7A) || (byte >= 0x81 && byte <= 0xFE);
}

// Every lead byte of code page 949 has its second byte inside the same name; a lone lead byte
// would swallow the separator or the end when Windows converts the name.
bool HasWholeCharacters(const std::string& component)
{
    for (std::size_t i = 0; i < component.size(); ++i) {
        if (!IsLeadByte(static_cast<unsigned char>(component[i]))) continue;
        if (i + 1 >= component.size() || !IsTrailByte(static_cast<unsigned char>(component[i + 1]))) return false;
        ++i;
    }
    return true;
}

// One name between separators. In code page 949 none of the bytes tested here can be the
// trail byte of a double-byte character, so a byte-wise scan is exact.
bool IsSafeComponent(const std::string& component)
{
    if (component.empty() || component == "." || component == "..") return false;
    for (char c : component) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || std::strchr("<>:\"|?*\\/", c) != nullptr) return false;
    }
    const char last = component.back();
    if (last == '.' || last == ' ') return false;
    return HasWholeCharacters(component) && !IsReservedDeviceName(component);
}

} // namespace

bool IsSafeEntryPath(const std::string& subFolder, const std::string& fileName)
{
    if (!IsSafeComponent(fileName)) return false;
    if (subFolder.empty()) return true;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type slash = subFolder.find('/', start);
        const std::string component =
            subFolder.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!IsSafeComponent(component)) return false;
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}
