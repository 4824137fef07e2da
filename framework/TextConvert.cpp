#include "framework/TextConvert.h"
#include <windows.h>

namespace {

std::wstring ToWide(UINT codePage, const std::string& text)
{
    if (text.empty()) return {};
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string FromWide(UINT codePage, const std::wstring& text)
{
    if (text.empty()) return {};
    int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

} // namespace

std::wstring WideFromAnsi(const std::string& text)
{
    return ToWide(CP_ACP, text);
}
std::string AnsiFromWide(const std::wstring& text)
{
    return FromWide(CP_ACP, text);
}
std::string Utf8FromWide(const std::wstring& text)
{
    return FromWide(CP_UTF8, text);
}
std::wstring WideFromUtf8(const std::string& text)
{
    return ToWide(CP_UTF8, text);
}

namespace {

// The text in the ANSI code page, or "" when a character has no form there.
std::string ExactAnsi(const std::wstring& text)
{
    if (text.empty()) return {};
    BOOL lost = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, &lost);
    if (n <= 0 || lost) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, &lost);
    return lost ? std::string() : out;
}

} // namespace

std::string AnsiPathFromWide(const std::wstring& path)
{
    std::string exact = ExactAnsi(path);
    if (!exact.empty() || path.empty()) return exact;
    // A name from another script (a user's name, say) has no ANSI form; its short name, where
    // the volume keeps one, reaches the same place in plain characters.
    wchar_t shortPath[MAX_PATH] = {};
    DWORD n = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return ExactAnsi(std::wstring(shortPath, n));
}
