#pragma once
// Numbers read from the texts of the lists and the record.
#include <string>

// The number at the start of text as the C library's atoi reads it: leading blanks (space and
// '\t' to '\r'), an optional sign, then decimal digits up to the first other character; no
// digits give 0. Unlike atoi, a number beyond the int range gives the nearest end of the range
// instead of undefined behaviour.
int LeadingNumber(const std::string& text);
