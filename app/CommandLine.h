#pragma once
// The program's command tail, read once at start. Switches are separated by blanks, in any order.
// "/D=" takes a folder: quoted ("/D=\"C:\a b\"" or "\"/D=C:\a b\"") it ends at its closing quote;
// unquoted it may hold blanks, as installers made with NSIS read it, and runs to the end of the
// line or to the blank before the next switch (a word that begins with "/", or "-u" or "-r").
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
    // The first word the run cannot take as it stands (an unknown switch, a second mode switch,
    // "/D=" without a folder or its closing quote), quoted for the log; "" when every word was
    // understood. An unattended run refuses such a line; a windowed one ignores what it does not
    // use.
    std::string problem;

    static CCommandLine Parse(const std::string& tail);
};
