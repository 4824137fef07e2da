#include "launch/ProductStart.h"

#include "framework/Handles.h"
#include "framework/StringTable.h"
#include "launch/ProductCommandLine.h"
#include "res/resource.h"

#include <windows.h>

bool CProductStart::First(const std::string& productFolder, const std::string& version, const std::string& title)
{
    std::string commandLine;
    // Too long to hand over whole: starting it with a cut command line would be worse.
    if (!MakeFirstStartCommandLine(productFolder, CStringTable::Ansi(IDS_PRODUCT_EXE), version, title, commandLine))
        return false;
    Launch(commandLine, productFolder);
    return true;
}

void CProductStart::Again(const std::string& setupDir)
{
    std::string commandLine;
    if (MakeProductCommandLine(setupDir, CStringTable::Ansi(IDS_PRODUCT_EXE), commandLine))
        Launch(commandLine, setupDir);
}

void CProductStart::Launch(std::string commandLine, const std::string& folder)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                       &process)) {
        CHandle thread(process.hThread);
        CHandle processHandle(process.hProcess);
    }
}
