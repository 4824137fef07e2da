#include "framework/WinApp.h"
#include "framework/Dialog.h"
#include "framework/StringTable.h"
#include "framework/TextConvert.h"
#include "framework/Trace.h"

#include <exception>

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp(const char* appName)
{
    if (appName) m_pszAppName = appName;
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run(HINSTANCE instance)
{
    m_hInstance = instance;
    m_lpCmdLine = CommandTail(GetCommandLineA());
    if (m_pszAppName.empty()) {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        m_pszAppName = BaseNameWithoutExtension(path);
    }
    // Nothing may escape to the C runtime's entry: the process ends, as failed, and says why.
    std::string what;
    try {
        InitInstance();
        return m_nExitCode;
    } catch (const std::exception& e) {
        TraceSwallowedException("start-up");
        what = e.what();
    } catch (...) {
        TraceSwallowedException("start-up");
        what = "an exception of unknown type";
    }
    try {
        m_nExitCode = OnUnexpectedFailure(what);
    } catch (...) {
        // The handler's own failure cannot be reported anywhere better than the debugger.
        TraceSwallowedException("the last-resort handler");
        m_nExitCode = 1;
    }
    return m_nExitCode;
}

int CWinApp::OnUnexpectedFailure(const std::string&)
{
    return 1;
}

std::string CWinApp::CommandTail(const std::string& commandLine)
{
    size_t i = 0;
    if (i < commandLine.size() && commandLine[i] == '"') {
        size_t close = commandLine.find('"', 1);
        i = close == std::string::npos ? commandLine.size() : close + 1;
    } else {
        while (i < commandLine.size() && commandLine[i] != ' ' && commandLine[i] != '\t') ++i;
    }
    while (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    return commandLine.substr(i);
}

std::string CWinApp::BaseNameWithoutExtension(const std::string& path)
{
    size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

CWinApp* AfxGetApp()
{
    return g_app;
}

int AfxMessageBox(const std::wstring& text, UINT type)
{
    CWinApp* app = AfxGetApp();
    std::wstring caption = app ? WideFromAnsi(app->m_pszAppName) : std::wstring();
    HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->GetSafeHwnd() : nullptr;
    return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

int AfxMessageBox(UINT stringId, UINT type)
{
    return AfxMessageBox(CStringTable::Wide(stringId), type);
}
