#pragma once
// The first look at a fetched component file list, before anything is downloaded or touched. A
// captive portal's login page, a truncated file or a hostile server answer 200 as readily as the
// update server does; only a list shaped like a release counts as one.
#include <string>
#include <vector>

// Digits and dots with at least one digit, once the blanks around the text are trimmed.
bool IsDottedNumber(const std::string& text);
// Text that can be handed on between quotes on a command line: no '"' and no control character.
bool IsPlainListText(const std::string& text);
// Line 1 with the blanks around it trimmed: the version the list describes.
std::string ListVersion(const std::vector<std::string>& lines);
// Line 0 is a plain title, line 1 a dotted version, and at least one line after them is an
// entry (its first field is not empty). Entry paths are checked on their own (IsSafeEntryPath).
bool IsReleaseList(const std::vector<std::string>& lines);
// A signed list may carry its end of validity as line 2, before the entries:
//     ,expires,<seconds since 1970-01-01 UTC>,
// (its first field is empty, so every reader skips it as no entry). True when that line is there
// and `nowUnixSeconds` has reached its time, or when its time is not a decimal number: the
// maker's tool writes no other. A list without the line never expires.
bool HasExpired(const std::vector<std::string>& lines, long long nowUnixSeconds);
