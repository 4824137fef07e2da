#pragma once
// The folders that lead down to a folder, as text: what has to exist, level by level, before the
// folder itself can be made. Plain text work, no file system, so it builds and tests natively.
#include <string>
#include <vector>

// Outermost first, without the root and without trailing separators:
// "C:\a\b" -> "C:\a", "C:\a\b"; "\\srv\share\a" -> "\\srv\share\a"; "a/b" -> "a", "a/b".
// A root alone ("C:\", "\\srv\share") gives nothing.
std::vector<std::string> FolderChain(const std::string& folder);
