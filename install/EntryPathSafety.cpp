#include "install/EntryPathSafety.h"

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
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0)) {
        return base[3] >= '1' && base[3] <= '9';
    }
    return false;
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
    return !IsReservedDeviceName(component);
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
