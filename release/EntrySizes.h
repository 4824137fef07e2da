#pragma once
// Whether the file list gives every entry's byte count (the seventh field): then the install
// takes the total from the list and asks the server for no size at all.
#include <string>
#include <vector>

// True when every entry among lines 2 and later carries a size, and there is at least one entry.
bool EverySizeListed(const std::vector<std::string>& lines);
