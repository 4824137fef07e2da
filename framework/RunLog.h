#pragma once
// The run's log for support: one line per event (requests, refusals, failures and their causes,
// the run's result). Writing to it never fails a run and never throws.
#include <string>

class CRunLog {
public:
    // Appends one line, time-stamped. Safe from any thread; a line written before the log is
    // opened, or when its file cannot be written, is dropped.
    static void Write(const std::string& line);
};
