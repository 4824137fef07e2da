#include <winsock2.h> // before windows.h, which the other headers bring
#include "app/UpdaterApp.h"
#include "app/CommandLine.h"
#include "app/ExitCode.h"
#include "app/UnattendedRun.h"
#include "app/VersionList.h"
#include "crypt/ReleaseKey.h"
#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "framework/StringTable.h"
#include "install/InstallDlg.h"
#include "install/InstallRecord.h"
#include "net/DownloadManager.h"
#include "res/resource.h"
#include "uninstall/UnInstallDlg.h"
#include "update/Commit.h"
#include "update/UpdateDlg.h"
#include <commctrl.h>

namespace {

const char kMutexName[] = "Morvel Updater Prefix";
const char kUpdateQuestionCaption[] = "MorvelNuvraUpdater";

// Windows Sockets 1.1 for the FTP client's socket layer, undone when start-up returns.
class CSocketLibrary {
public:
    CSocketLibrary()
    {
        WSADATA data;
        m_ok = WSAStartup(MAKEWORD(1, 1), &data) == 0;
    }
    ~CSocketLibrary()
    {
        if (m_ok) WSACleanup();
    }
    CSocketLibrary(const CSocketLibrary&) = delete;
    CSocketLibrary& operator=(const CSocketLibrary&) = delete;
    bool ok() const { return m_ok; }

private:
    bool m_ok = false;
};

// The run's first line: who runs, in which mode, against which server, whether lists are
// verified and over which transport.
void LogStart(const char* mode, const std::string& commandTail)
{
    const CConfiguredServer server = CDownloadManager::ConfiguredServer();
    const std::string where = server.usable ? ServerAddressText(server.address) : "none";
    const std::string lists =
        CompiledReleaseKey() ? "lists verified with the release key" : "lists not verified (no release key)";
    const std::string transport = !server.usable ? "" : server.address.secure ? ", over HTTPS" : ", over plain HTTP";
    CRunLog::Write(std::string("NuvraUpdater ") + NUVRA_PROGRAM_VERSION + " started: mode " + mode + ", server " +
                   where + ", " + lists + transport + ", command line \"" + commandTail + "\"");
}

// A server the maker named but mistyped ends the run: falling back to another one could send a
// staging test to production unnoticed.
bool ServerUsable(const CCommandLine& line, const std::string& commandTail, int& exitCode)
{
    const CConfiguredServer server = CDownloadManager::ConfiguredServer();
    if (server.usable) return true;
    LogStart("none", commandTail);
    CRunLog::Write("result: failed (message 106): NUVRA_UPDATE_SERVER \"" + server.environment +
                   "\" is no update server (host[:port] or https://host[:port])");
    if (line.silent) {
        exitCode = ExitCode::kBadServer;
    } else {
        AfxMessageBox(IDS_INSTALL_ERROR, MB_OK);
    }
    return false;
}

// Closes the log whatever way start-up returns.
class CRunLogScope {
public:
    explicit CRunLogScope(const std::string& explicitPath) { CRunLog::Open(explicitPath); }
    ~CRunLogScope() { CRunLog::Close(); }
    CRunLogScope(const CRunLogScope&) = delete;
    CRunLogScope& operator=(const CRunLogScope&) = delete;
};

// Runs a mode's window as the main window and gives the run's exit code as far as the window
// decides it: windowed runs end with kDone whatever the window showed, unless it had no result.
int RunMainDialog(CWinApp& app, CDialog& dialog, const char* name)
{
    app.m_pMainWnd = &dialog;
    const INT_PTR ended = dialog.DoModal();
    const DWORD error = GetLastError();
    app.m_pMainWnd = nullptr;
    if (ended == -1) {
        // Nothing appeared: the user must know why nothing happens.
        CRunLog::Write(std::string("result: none: the ") + name + " window could not be created: Windows error " +
                       std::to_string(error));
        AfxMessageBox(IDS_INSTALL_ERROR, MB_OK);
        return ExitCode::kNoResult;
    }
    if (ended == CDialog::kNotEnded) {
        CRunLog::Write(std::string("result: none: the ") + name + " window's message loop ended before the window");
        return ExitCode::kNoResult;
    }
    return ExitCode::kDone;
}

// The same for a window with a worker, which may also end without a result or fail to start
// the product after its work.
int RunWorkerDialog(CWinApp& app, CWorkerDialog& dialog, const char* name)
{
    const int exitCode = RunMainDialog(app, dialog, name);
    if (exitCode != ExitCode::kDone) return exitCode;
    if (dialog.ClosedWithoutResult()) {
        CRunLog::Write(std::string("result: none: the ") + name + " window was closed before its work ended");
        return ExitCode::kNoResult;
    }
    return dialog.ProductStartFailed() ? ExitCode::kStartFailed : ExitCode::kDone;
}

} // namespace

BOOL CUpdaterApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    CWinApp::InitInstance();
    const CCommandLine line = CCommandLine::Parse(m_lpCmdLine);
    m_logPath = line.logPath;
    m_silent = line.silent;
    CRunLogScope log(line.logPath);
    // A script's typo must not install, update or remove anything it did not ask for.
    if (line.silent && !line.problem.empty()) {
        CRunLog::Write("command line \"" + m_lpCmdLine + "\" refused before anything was touched: " + line.problem);
        m_nExitCode = ExitCode::kBadCommandLine;
        return FALSE;
    }

    CSocketLibrary sockets;
    if (!sockets.ok()) {
        CRunLog::Write("Windows Sockets could not be started: error " + std::to_string(WSAGetLastError()));
        if (!line.silent) AfxMessageBox(IDS_SOCKETS_FAILED, MB_OK);
        m_nExitCode = ExitCode::kFailed;
        return FALSE;
    }

    // One call takes the lock and tells whether it was there already: opening first and creating
    // after would let two copies started together both pass between the two calls. A lock held
    // by another user's copy is not ours to open (access denied).
    SetLastError(ERROR_SUCCESS); // a new lock need not clear what an earlier call left
    CHandle mutex(CreateMutexA(nullptr, TRUE, kMutexName));
    const DWORD mutexError = GetLastError();
    if (mutexError == ERROR_ALREADY_EXISTS || mutexError == ERROR_ACCESS_DENIED) {
        CRunLog::Write("another NuvraUpdater runs already: this one ends");
        m_nExitCode = ExitCode::kAlreadyRunning;
        return FALSE;
    }
    // Without a lock the run goes on unguarded rather than not at all; the log says so.
    if (!mutex)
        CRunLog::Write("the single-instance lock could not be made: Windows error " + std::to_string(mutexError));
    // An installation a killed run left between two releases is made whole before any mode
    // looks at it; this needs no server.
    CCommit::RecoverInterrupted();

    if (!ServerUsable(line, m_lpCmdLine, m_nExitCode)) return FALSE;

    if (line.silent) {
        LogStart("unattended", m_lpCmdLine);
        m_nExitCode = CUnattendedRun(line).Run();
        return FALSE;
    }

    if (line.repair) {
        LogStart("repair", m_lpCmdLine);
        // Repair needs an installation to check; without one there is nothing it could do.
        if (!IsProductInstalled()) {
            CRunLog::Write("result: failed (message 106): no installation to repair");
            AfxMessageBox(IDS_INSTALL_ERROR, MB_OK);
            return FALSE;
        }
        CUpdateDlg dialog(nullptr, CUpdateDlg::EWork::Repair);
        m_nExitCode = RunWorkerDialog(*this, dialog, "repair");
        return FALSE;
    }

    if (line.update) {
        LogStart("update", m_lpCmdLine);
        std::string savedName = m_pszAppName;
        m_pszAppName = kUpdateQuestionCaption;
        int answer = AfxMessageBox(IDS_UPDATE_QUESTION, MB_YESNO | MB_ICONQUESTION);
        m_pszAppName = savedName;
        if (answer == IDYES) {
            CUpdateDlg dialog;
            m_nExitCode = RunWorkerDialog(*this, dialog, "update");
        } else {
            CRunLog::Write("result: the user declined the update");
        }
        return FALSE;
    }

    // The manager exists on the uninstall path too: its cipher and FTP client are built here.
    CDownloadManager downloadManager;
    CUnInstallDlg uninstallDialog;
    std::vector<std::string> lines;

    if (IsProductInstalled()) {
        LogStart("uninstall", m_lpCmdLine);
        m_nExitCode = RunMainDialog(*this, uninstallDialog, "uninstall");
        return FALSE;
    }

    LogStart("install", m_lpCmdLine);
    if (!downloadManager.GetVersionList(lines)) {
        CRunLog::Write("result: failed (message 106): the version list could not be fetched or read");
        AfxMessageBox(IDS_INSTALL_ERROR, MB_OK);
        return FALSE;
    }
    const CVersionList::Decision decision = CVersionList::Select(lines);
    if (decision != CVersionList::Decision::Allowed) {
        CRunLog::Write(decision == CVersionList::Decision::Refused
                           ? "result: refused (message 106): the version list does not allow installing"
                           : "result: refused (message 106): the version list has no record with selector 0");
        AfxMessageBox(IDS_INSTALL_ERROR, MB_OK);
        return FALSE;
    }
    CInstallDlg installDialog;
    m_nExitCode = RunWorkerDialog(*this, installDialog, "install");
    return FALSE;
}

int CUpdaterApp::OnUnexpectedFailure(const std::string& what)
{
    // The window it pointed at, if any, went as start-up unwound.
    m_pMainWnd = nullptr;
    // The run's log was closed as start-up unwound; the line goes to the same file.
    CRunLogScope log(m_logPath);
    CRunLog::Write("result: internal error: " + what + "; the run ended where it stood");
    if (!m_silent) AfxMessageBox(IDS_INSTALL_ERROR, MB_OK);
    return ExitCode::kInternalError;
}
