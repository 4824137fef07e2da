#pragma once
// The application object: one global instance whose InitInstance does all the work.
#include <windows.h>
#include <string>

class CDialog;

class CWinApp {
public:
    // With no name the executable's base file name becomes the application name.
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    // The last resort: InitInstance ended by an exception (`what` says which, as far as known).
    // Returns the process's exit code; the default is 1. Runs after InitInstance's locals are
    // gone; whatever it throws is swallowed.
    virtual int OnUnexpectedFailure(const std::string& what);

    // Called by WinMain: sets the instance, command tail and name, then runs InitInstance and
    // returns the process's exit code, m_nExitCode (OnUnexpectedFailure's when start-up ends by
    // an exception).
    int Run(HINSTANCE instance);

    HINSTANCE m_hInstance = nullptr;
    std::string m_lpCmdLine;  // the command tail, without the program's own name
    std::string m_pszAppName; // caption of the message boxes
    CDialog* m_pMainWnd = nullptr;
    int m_nExitCode = 0; // what the process returns; set by InitInstance

    // The command tail of a whole command line: the program name (quoted or not) and the
    // blanks after it are skipped, the rest is kept as it is.
    static std::string CommandTail(const std::string& commandLine);
    static std::string BaseNameWithoutExtension(const std::string& path);
};

CWinApp* AfxGetApp();

// A message box captioned with the application name, owned by the main window if there is one.
int AfxMessageBox(const std::wstring& text, UINT type = MB_OK);
int AfxMessageBox(UINT stringId, UINT type = MB_OK);
