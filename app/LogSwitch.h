#pragma once
// "/LOG=path" on the command line: where this run's log goes instead of the usual file.
#include <string>

struct CLogSwitch {
    std::string path; // "" when the tail has no such switch
    std::string rest; // the tail without it, for the mode decision
};

// Finds "/LOG=" (any case) at the start of a word of the command tail. The path runs to the next
// blank, or, quoted ("/LOG=\"C:\a b\x.log\"" or "\"/LOG=C:\a b\x.log\""), to the closing quote.
// The switch and the blanks before it leave the rest; a tail without one is the rest unchanged.
CLogSwitch SplitLogSwitch(const std::string& commandTail);
