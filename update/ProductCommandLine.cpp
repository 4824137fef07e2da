#include "update/ProductCommandLine.h"

bool MakeProductCommandLine(const std::string& folder, const std::string& program, std::string& commandLine)
{
    // A quote cannot be part of a Windows path; inside the quoted program name it would end it.
    if (folder.empty() || program.empty() || folder.find('"') != std::string::npos ||
        program.find('"') != std::string::npos)
        return false;
    std::string line = "\"" + folder + "\\" + program + "\"";
    if (line.size() > kMaxProductCommandLine) return false;
    commandLine = std::move(line);
    return true;
}
