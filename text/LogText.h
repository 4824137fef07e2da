#pragma once
// What a run-log line may hold and when the log file rotates: plain decisions, so that what a
// server, a list or the registry sends cannot forge lines or wipe the history.
#include <cstddef>
#include <functional>
#include <string>

// Reads one character of the program's 8-bit text at `text` (`available` bytes left): gives its
// byte count and code point, or 0 when the bytes there are no character of the code page (a lead
// byte without its trail, a code with no character).
using LogCharReader = std::function<std::size_t(const char* text, std::size_t available, char32_t& code)>;

// The line as the log keeps it, in UTF-8. Every byte of a control character (C0, DEL, C1, line and
// paragraph separators, bidirectional overrides) and every byte that is no character is shown as
// "\xNN", so one call is one line whatever the text holds. An escaped text longer than `maxBytes`
// keeps its start and its last `tailBytes`, whole characters and escapes only, joined by
// "…(N bytes)…" with N the length of the whole text given.
std::string LogLineText(const std::string& text, const LogCharReader& read, std::size_t maxBytes,
                        std::size_t tailBytes);

enum class LogWrite {
    Append,      // the line goes to the end of the file
    RotateFirst, // the file moves to "<name>.1" first, then the line starts a new one
    Drop,        // the line is not kept: the file is as large as it may grow
};

// What to do with a line of `lineBytes` for a file of `fileBytes` that rotates past `rotateBytes`.
// A run rotates at most once (`rotatedThisRun`), so it never pushes the previous run's lines out of
// "<name>.1"; after that, or when the rename failed, the file grows up to twice `rotateBytes` and
// then keeps no more.
LogWrite DecideLogWrite(unsigned long long fileBytes, unsigned long long lineBytes, bool rotatedThisRun,
                        unsigned long long rotateBytes);
