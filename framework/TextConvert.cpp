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
    int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

} // namespace

std::wstring WideFromAnsi(const std::string& text) { return ToWide(CP_ACP, text); }
std::string AnsiFromWide(const std::wstring& text) { return FromWide(CP_ACP, text); }
std::string Utf8FromWide(const std::wstring& text) { return FromWide(CP_UTF8, text); }
std::wstring WideFromUtf8(const std::string& text) { return ToWide(CP_UTF8, text); }
