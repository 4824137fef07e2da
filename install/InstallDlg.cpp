#include "install/InstallDlg.h"
#include "install/DefaultInstallDir.h"
#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "framework/StringTable.h"
#include "framework/TextConvert.h"
#include "install/InstallProcedure.h"
#include "launch/ProductStart.h"
#include "res/resource.h"
#include <shlobj.h>

namespace {

const char kMorvelFolder[] = "\\Morvel";

} // namespace

CInstallDlg::CInstallDlg()
    : CWorkerDialog(IDD_INSTALL), m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_NUVRA)))
{
    m_downloadManager.SetStopEvent(StopEvent()); // a closing dialog ends its transfers at once
    StartWorker(&CInstallDlg::ThreadProc);
}

CInstallDlg::~CInstallDlg()
{
    // The worker must be gone before the members it uses (the bars, the manager) are.
    if (HasWorker()) StopWorker();
}

unsigned CInstallDlg::ThreadProc(CWorkerDialog* dialog)
{
    auto* install = static_cast<CInstallDlg*>(dialog);
    if (!install->WaitForStart()) {
        CRunLog::Write("result: closed before installing");
        return 0;
    }
    // The inputs were copied before the start event was signalled, so reading them now is safe.
    const int result = CInstallProcedure(*install, install->m_inputs, install->m_downloadManager).Run();
    if (result == WorkerResult::kFailed && install->StopRequested())
        CRunLog::Write("result: given up: the window was closed while it installed");
    else
        CRunLog::Write(result == WorkerResult::kFailed ? "result: failed (message 106)" : "result: installed");
    install->Finish(result);
    return 0;
}

BOOL CInstallDlg::OnInitDialog()
{
    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);
    m_progressFile.Attach(GetDlgItem(IDC_PROGRESS_FILE));
    m_progressTotal.Attach(GetDlgItem(IDC_PROGRESS_TOTAL));
    for (int id : {IDC_RUN_AFTER, IDC_DESKTOP_ICON, IDC_QUICK_LAUNCH, IDC_START_MENU, IDC_PROGRAMS_MENU})
        CheckDlgButton(id, true);
    m_strInstallDir = CDefaultInstallDir::Get();
    SetDlgItemText(IDC_INSTALL_DIR, WideFromAnsi(m_strInstallDir));
    return TRUE;
}

BOOL CInstallDlg::PreTranslateMessage(MSG* msg)
{
    // Neither key may press a button or end the dialog.
    return msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE);
}

bool CInstallDlg::OnCommand(int id, int notifyCode)
{
    if (notifyCode != BN_CLICKED) return false;
    switch (id) {
    case IDC_CHANGE: OnChangeFolder(); return true;
    case IDC_INSTALL: OnInstall(); return true;
    case IDC_CLOSE: PostMessageW(m_hWnd, WM_CLOSE, 0, 0); return true;
    default: return false;
    }
}

bool CInstallDlg::OnSysCommand(UINT, LPARAM)
{
    // Once the work runs the dialog may close only when the worker says so.
    return m_bWorking;
}

void CInstallDlg::OnChangeFolder()
{
    CComScope com;
    // Wide: the Korean prompt has no 8-bit form on a system whose code page is not Korean.
    std::wstring prompt = CStringTable::Wide(IDS_CHOOSE_FOLDER);
    BROWSEINFOW browse = {};
    browse.hwndOwner = m_hWnd;
    browse.lpszTitle = prompt.c_str();
    browse.ulFlags = 0x4000;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (!chosen) return;
    wchar_t path[MAX_PATH] = {};
    BOOL ok = SHGetPathFromIDListW(chosen, path);
    CoTaskMemFree(chosen);
    // A folder that the 8-bit file functions cannot name is no choice either.
    std::string folder = ok ? AnsiPathFromWide(path) : std::string();
    // The browser also lists files; a file is no place to install into, so it changes nothing.
    DWORD attributes = folder.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    if (!folder.empty() && folder.back() == '\\') folder.pop_back(); // a drive root ends in "\"
    m_strInstallDir = folder + kMorvelFolder;
    SetDlgItemText(IDC_INSTALL_DIR, WideFromAnsi(m_strInstallDir));
}

void CInstallDlg::OnInstall()
{
    m_inputs.installDir = m_strInstallDir;
    m_inputs.options.runAfter = IsDlgButtonChecked(IDC_RUN_AFTER);
    m_inputs.options.desktop = IsDlgButtonChecked(IDC_DESKTOP_ICON);
    m_inputs.options.quickLaunch = IsDlgButtonChecked(IDC_QUICK_LAUNCH);
    m_inputs.options.startMenu = IsDlgButtonChecked(IDC_START_MENU);
    m_inputs.options.programsMenu = IsDlgButtonChecked(IDC_PROGRAMS_MENU);
    for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        EnableWindow(child, FALSE);
    m_bWorking = true;
    SignalStart();
}

void CInstallDlg::OnClose()
{
    int result = m_nResult;
    if (result == CInstallProcedure::kInstalled)
        MessageBox(CStringTable::Wide(IDS_INSTALL_DONE), MB_OK);
    else if (result == CInstallProcedure::kInstalledAndStart)
        StartProduct();
    else if (result != kNotFinished)
        MessageBox(CStringTable::Wide(IDS_INSTALL_ERROR), MB_OK);
    StopWorker();
    // Closed while it worked: the work was given up, unless it ended while the worker was awaited.
    const int ended = m_nResult.load();
    if (result == kNotFinished && m_bWorking && ended != CInstallProcedure::kInstalled &&
        ended != CInstallProcedure::kInstalledAndStart)
        m_closedWithoutResult = true;
    CWorkerDialog::OnClose();
}

void CInstallDlg::StartProduct()
{
    std::string productFolder = m_strInstallDir + "\\" + CStringTable::Ansi(IDS_PRODUCT_FOLDER);
    // Installed, but the user would wait for a product that never comes: they are told.
    if (!CProductStart::First(productFolder, m_strVersion, m_strTitle)) {
        m_productStartFailed = true;
        MessageBox(CStringTable::Wide(IDS_INSTALL_ERROR), MB_OK);
    }
}

void CInstallDlg::SetMainStatus(const std::wstring& text)
{
    SetDlgItemText(IDC_STATUS_MAIN, text);
}

void CInstallDlg::SetDetailStatus(const std::wstring& text)
{
    SetDlgItemText(IDC_STATUS_DETAIL, text);
}

void CInstallDlg::SetRelease(const std::string& title, const std::string& version)
{
    m_strTitle = title;
    m_strVersion = version;
}
