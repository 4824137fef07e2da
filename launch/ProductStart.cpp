#include "launch/ProductStart.h"

#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "framework/StringTable.h"
#include "launch/ProductCommandLine.h"
#include "res/resource.h"

#include <windows.h>

bool CProductStart::First(const std::string& productFolder, const std::string& version, const std::string& title)
{
    std::string commandLine;
    // Too long to hand over whole: starting it with a cut command line would be worse.
    if (!MakeFirstStartCommandLine(productFolder, CStringTable::Ansi(IDS_PRODUCT_EXE), version, title, commandLine)) {
        CRunLog::Write("the product was not started: its first command line cannot hold " + productFolder +
                       ", version and title whole");
        return false;
    }
    return Launch(commandLine, productFolder);
}

bool CProductStart::Again(const std::string& setupDir)
{
    std::string commandLine;
    if (!MakeProductCommandLine(setupDir, CStringTable::Ansi(IDS_PRODUCT_EXE), commandLine)) {
        CRunLog::Write("the product was not started: its command line cannot hold the folder " + setupDir);
        return false;
    }
    return Launch(commandLine, setupDir);
}

bool CProductStart::Launch(std::string commandLine, const std::string& folder)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
        CRunLog::Write("the product could not be started: " + commandLine + ": Windows error " +
                       std::to_string(GetLastError()));
        return false;
    }
    CHandle thread(process.hThread);
    CHandle processHandle(process.hProcess);
    CRunLog::Write("the product was started: " + commandLine);
    return true;
}
