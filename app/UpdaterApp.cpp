#include <winsock2.h> // before windows.h, which the other headers bring
#include "app/UpdaterApp.h"
#include "app/CommandLine.h"
#include "app/ExitCode.h"
#include "app/UnattendedRun.h"
#include "app/VersionList.h"
#include "framework/Handles.h"
#include "framework/StringTable.h"
#include "install/InstallDlg.h"
#include "install/InstallRecord.h"
#include "net/DownloadManager.h"
#include "res/resource.h"
#include "uninstall/UnInstallDlg.h"
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

template <typename Dialog>
void RunMainDialog(CWinApp& app, Dialog& dialog)
{
    app.m_pMainWnd = &dialog;
    dialog.DoModal();
    app.m_pMainWnd = nullptr;
}

} // namespace

BOOL CUpdaterApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    CWinApp::InitInstance();

    const CCommandLine line = CCommandLine::Parse(m_lpCmdLine);

    CSocketLibrary sockets;
    if (!sockets.ok()) {
        if (!line.silent) AfxMessageBox(IDS_SOCKETS_FAILED, MB_OK);
        m_nExitCode = ExitCode::kFailed;
        return FALSE;
    }

    // Another instance holds the lock when the open attempt finds it (Wine hands out a handle
    // and leaves no error) or reports it as existing or inaccessible (Windows).
    CHandle probe(OpenMutexA(0, TRUE, kMutexName));
    DWORD openError = GetLastError();
    if (probe || openError == ERROR_ALREADY_EXISTS || openError == ERROR_ACCESS_DENIED) {
        m_nExitCode = ExitCode::kAlreadyRunning;
        return FALSE;
    }
    // A failed creation goes unnoticed: start-up simply runs without the guard.
    CHandle mutex(CreateMutexA(nullptr, TRUE, kMutexName));

    if (line.silent) {
        m_nExitCode = CUnattendedRun(line).Run();
        return FALSE;
    }

    if (line.repair) {
        // Repair needs an installation to check; without one there is nothing it could do.
        if (!IsProductInstalled()) {
            AfxMessageBox(IDS_INSTALL_ERROR, MB_OK);
            return FALSE;
        }
        CUpdateDlg dialog(nullptr, CUpdateDlg::EWork::Repair);
        RunMainDialog(*this, dialog);
        return FALSE;
    }

    if (line.update) {
        std::string savedName = m_pszAppName;
        m_pszAppName = kUpdateQuestionCaption;
        int answer = AfxMessageBox(IDS_UPDATE_QUESTION, MB_YESNO | MB_ICONQUESTION);
        m_pszAppName = savedName;
        if (answer == IDYES) {
            CUpdateDlg dialog;
            RunMainDialog(*this, dialog);
        }
        return FALSE;
    }

    // The manager exists on the uninstall path too: its cipher and FTP client are built here.
    CDownloadManager downloadManager;
    CUnInstallDlg uninstallDialog;
    std::vector<std::string> lines;

    if (IsProductInstalled()) {
        RunMainDialog(*this, uninstallDialog);
        return FALSE;
    }

    if (!downloadManager.GetVersionList(lines)) {
        AfxMessageBox(IDS_INSTALL_ERROR, MB_OK);
        return FALSE;
    }
    if (CVersionList::Select(lines) != CVersionList::Decision::Allowed) {
        AfxMessageBox(IDS_INSTALL_ERROR, MB_OK);
        return FALSE;
    }
    CInstallDlg installDialog;
    RunMainDialog(*this, installDialog);
    return FALSE;
}
