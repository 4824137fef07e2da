#pragma once
// Conversions between the program's 8-bit texts (ANSI code page), UTF-16 for the W functions,
// and UTF-8.
#include <string>

std::wstring WideFromAnsi(const std::string& text);
std::string AnsiFromWide(const std::wstring& text);
std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& text);
// A path for the 8-bit file functions: the same text when every character has an ANSI form,
// else the path's short name when that has one; "" when neither reaches the same place.
std::string AnsiPathFromWide(const std::wstring& path);
