#pragma once
// The command line that starts the product again after an update: its program in the
// installation folder, quoted so that blanks in the folder cannot split it, without arguments.
#include <string>

// The longest command line accepted: CreateProcess gets it in a 260-byte buffer.
constexpr std::size_t kMaxProductCommandLine = 259;

// "\"<folder>\\<program>\"". False (nothing to start) when the folder is empty, holds a quote,
// or the line would be longer than kMaxProductCommandLine.
bool MakeProductCommandLine(const std::string& folder, const std::string& program, std::string& commandLine);
