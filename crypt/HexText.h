#pragma once
// Bytes written as hexadecimal text, as the release key and the list's signature are.
#include <string>
#include <vector>

// Decodes `text`, ignoring blanks and line ends around it (a file of one line may end with
// one). Digits in either case. False, with `bytes` emptied, when anything else is there or the
// digits are odd in number.
bool DecodeHex(const std::string& text, std::vector<unsigned char>& bytes);
