#include "fileops/FExeption.h"

#include <cstdio>
#include <utility>

CFExeption::CFExeption(DWORD code) : m_text(SystemMessage(code)), m_code(code) {}

CFExeption::CFExeption(std::string text, DWORD code) : m_text(std::move(text)), m_code(code) {}

std::string CFExeption::SystemMessage(DWORD code)
{
    char* buffer = nullptr;
    const DWORD n =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    std::string text;
    if (n > 0 && buffer) text.assign(buffer, n);
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        char fallback[48];
        std::snprintf(fallback, sizeof fallback, "Error %lu", static_cast<unsigned long>(code));
        text = fallback;
    }
    return text;
}
