#pragma once
// Starting the product, by the install dialog and the update window as by the unattended runs:
// its command line (see ProductCommandLine), in its own folder, not waited for. Each says in the
// log why a start failed, and returns false then: the caller ends its run with kStartFailed.
#include <string>

class CProductStart {
public:
    // The first start after an installation. False when the command line cannot hold the
    // folder, version and title whole (nothing is started then), or the process does not start.
    static bool First(const std::string& productFolder, const std::string& version, const std::string& title);
    // The restart after an update, in the installation folder. False when the folder is too long
    // for the command line, or the process does not start.
    static bool Again(const std::string& setupDir);

private:
    static bool Launch(std::string commandLine, const std::string& folder);
};
