#pragma once
// The program's command tail, read once at start. Switches are separated by blanks; "/D=" takes
// the rest of the line (blanks included), as installers made with NSIS read it, so it comes last.
// "/LOG=" takes one word, or a quoted text with blanks. The mode switches keep their old, strict
// meaning: "-u" (or "-r") only when nothing but the switches read here stands beside it, so
// "-u " or "-u -u" is still no update.
#include <string>

struct CCommandLine {
    bool update = false;      // "-u": the product asks for its update
    bool repair = false;      // "-r": check every installed file and fetch the damaged ones
    bool silent = false;      // "/S": no window at all; the exit code tells the result
    bool noShortcuts = false; // "/NOSHORTCUTS": a silent install makes no shortcut
    std::string installDir;   // "/D=folder": the folder a silent install uses, "" for the default
    std::string logPath;      // "/LOG=path": where the run's log goes, "" for the usual place

    static CCommandLine Parse(const std::string& tail);
};
