#pragma once
// Starting the product, by the install dialog and the update window as by the unattended runs:
// its command line (see ProductCommandLine), in its own folder, not waited for.
#include <string>

class CProductStart {
public:
    // The first start after an installation. False when the command line cannot hold the
    // folder, version and title whole (nothing is started then); a process that fails to start
    // is not reported, as the installation itself succeeded.
    static bool First(const std::string& productFolder, const std::string& version, const std::string& title);
    // The restart after an update, in the installation folder. A folder too long for the
    // command line, or a failed start, starts nothing and is not reported.
    static void Again(const std::string& setupDir);

private:
    static void Launch(std::string commandLine, const std::string& folder);
};
