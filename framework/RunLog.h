#pragma once
// The run's log for support: one line per event (requests, refusals, failures and their causes,
// the run's result). Writing to it never fails a run and never throws.
#include <cstddef>
#include <string>

class CRunLog {
public:
    // A file that would grow past this many bytes is first renamed to "<name>.1" (replacing an
    // older one) and started afresh, at most once per run; past that, or when the rename fails, it
    // grows to twice this size and keeps no more lines.
    static constexpr unsigned long long kRotateBytes = 1024 * 1024;
    // A line's text beyond this many bytes keeps its start and its last kLineTailBytes, with its
    // whole length noted between them.
    static constexpr std::size_t kLineBytes = 4096;
    static constexpr std::size_t kLineTailBytes = 512;

    // Opens the file the lines of this run are appended to: `explicitPath` when it is given and
    // can be written, else %LOCALAPPDATA%\Morvel\NuvraUpdater.log (the folder made on demand),
    // else NuvraUpdater.log in the user's temporary folder. Without any of them nothing is kept.
    static void Open(const std::string& explicitPath = std::string());
    static void Close();

    // Appends one line (8-bit text of the program, stored as UTF-8), time-stamped. Whatever the
    // text holds stays one line: control characters and bytes that are no character of the code
    // page are written as "\xNN", and a long text is cut (kLineBytes). Safe from any thread; a
    // line written before the log is opened, after it is closed, or when its file cannot be
    // written, is dropped.
    static void Write(const std::string& line);

    // The file the lines go to, as the wide Windows functions take it; "" when none is open.
    static std::wstring Path();
};
