#pragma once
#include "framework/WinApp.h"

// The one application object: decides once at start whether to update, repair, uninstall or
// install, and runs that mode's dialog as the main window, or, with "/S", the mode without any
// window (CUnattendedRun); m_nExitCode then tells the result.
class CUpdaterApp : public CWinApp {
public:
    CUpdaterApp() = default;
    BOOL InitInstance() override;
    // Logs the failure (in the run's own log) and, in a windowed run, shows message 106.
    int OnUnexpectedFailure(const std::string& what) override;

private:
    std::string m_logPath; // of this run, for the last-resort handler
    bool m_silent = false;
};
