#pragma once
// The runs with "/S": nobody is at the screen, so no window of ours appears at all (no dialog,
// no message box). Each runs the mode's own procedure on this thread through a view that shows
// nothing, answers every read-only question No, and returns an exit code (ExitCode.h).
#include "app/CommandLine.h"

class CUnattendedRun {
public:
    explicit CUnattendedRun(const CCommandLine& line) : m_line(line) {}

    // The mode is chosen as the windowed run chooses it: "-u" updates, "-r" repairs, and
    // otherwise an installed product is removed and a missing one installed.
    int Run();

private:
    int Install();
    int Update();
    int Repair();
    int Uninstall();

    const CCommandLine m_line;
};
