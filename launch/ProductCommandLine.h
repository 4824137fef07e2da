#pragma once
// The command lines that start the product: its program in the installation folder, then the
// arguments the first start gets. One quoting rule for every part: each is wrapped in quotes, so
// blanks in a folder cannot split it, and none may hold a quote, which would end it early (a quote
// is part of no Windows path, and the release list check refuses it in a title or version).
#include <string>

// The longest restart command line accepted: CreateProcess gets it in a 260-byte buffer.
constexpr std::size_t kMaxProductCommandLine = 259;
// The longest first-start command line: it is built in a 268-byte buffer.
constexpr std::size_t kMaxFirstStartCommandLine = 267;

// The restart after an update, without arguments: "\"<folder>\\<program>\"". False (nothing to
// start) when the folder or program is empty, a part holds a quote, or the line would be longer
// than kMaxProductCommandLine; commandLine is then left as it was.
bool MakeProductCommandLine(const std::string& folder, const std::string& program, std::string& commandLine);

// The first start after an installation, which tells the product where it lives and what it is:
// "\"<folder>\\<program>\" -d\"<folder>\" -v\"<version>\" -t\"<title>\"". False as above, with
// kMaxFirstStartCommandLine as the limit.
bool MakeFirstStartCommandLine(const std::string& folder, const std::string& program, const std::string& version,
                               const std::string& title, std::string& commandLine);
