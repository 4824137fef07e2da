#pragma once
// A build with a release key writes no file it cannot check against the signed list.
#include "release/FileListEntry.h"

#include <string>
#include <vector>

// Whether every entry among the file list's lines 2 and later carries a digest.
bool EveryEntryHashed(const std::vector<std::string>& lines, CFileListEntry::Blanks blanks);
