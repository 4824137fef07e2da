#pragma once
// Small text helpers for Windows paths, kept free of Win32 so that they build and test natively.
// Paths are 8-bit ANSI (code page 949); "\" and "/" both count as separators. In code page 949
// neither byte can be the trail byte of a double-byte character, so scanning bytes is safe.
#include <string>

// The last component of a path, ignoring trailing separators ("C:\a\b\" -> "b").
std::string LastPathComponent(const std::string& path);

// The folder part of a file path: "C:\a\b.exe" -> "C:\a", "C:\b.exe" -> "C:\", "b.exe" -> "".
std::string ParentFolder(const std::string& path);

// a + "\" + b, without doubling a separator that a already ends with; an empty a gives b.
std::string JoinPath(const std::string& a, const std::string& b);

// The question the file operation engine asks before it touches a read-only file or folder.
std::string ReadOnlyQuestionText(const std::string& path);
