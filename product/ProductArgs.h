#pragma once
// The product's command line. The installer starts it with -d"folder" -v"version" -t"title";
// the updater starts it with no arguments at all.
#include <string>

struct CProductArgs {
    std::string programPath; // as written on the command line, without its quotes
    bool hasFolder = false;
    bool hasVersion = false;
    bool hasTitle = false;
    std::string folder;
    std::string version;
    std::string title;
};

// Reads the 8-bit command line as GetCommandLineA gives it. The program path may be quoted or
// not; an unquoted one may hold blanks ("C:\Program Files\...\Nuvra.exe"), which is how the
// installer writes it. Unknown switches and stray words are ignored.
CProductArgs ParseProductArgs(const std::string& commandLine);
