#pragma once
#include "framework/WinApp.h"
#include <string>

// The one application object: decides once at start whether to update, uninstall or install,
// and runs that mode's dialog as the main window.
class CUpdaterApp : public CWinApp {
public:
    CUpdaterApp() = default;
    BOOL InitInstance() override;

    static bool IsUpdateSwitch(const std::string& commandTail) { return commandTail == "-u"; }
};
