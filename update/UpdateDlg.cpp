#include "update/UpdateDlg.h"

#include "framework/StringTable.h"
#include "framework/WinApp.h"
#include "install/InstallRecord.h"
#include "launch/ProductCommandLine.h"
#include "res/resource.h"
#include "update/UpdateProcedure.h"

#include <vector>

namespace {

constexpr UINT_PTR kStartTimer = 0;
constexpr UINT kStartDelayMs = 500;
// The success message is captioned with the product's updater name, not the executable's.
const char kDoneCaption[] = "MorvelNuvraUpdater";

} // namespace

CUpdateDlg::CUpdateDlg(HWND parent)
    : CWorkerDialog(IDD_UPDATE, parent), m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_NUVRA)))
{
    // Closing the window ends a transfer within a second, not after WinInet's time-out.
    m_downloadManager.SetStopEvent(StopEvent());
    StartWorker(&CUpdateDlg::ThreadProc);
}

CUpdateDlg::~CUpdateDlg()
{
    // A dialog that never ran still has its worker waiting; end it while the members it uses
    // are alive.
    if (HasWorker()) StopWorker();
}

unsigned CUpdateDlg::ThreadProc(CWorkerDialog* worker)
{
    auto* dialog = static_cast<CUpdateDlg*>(worker);
    if (!dialog->WaitForStart()) return 0;
    // The inputs were copied before the start timer was set, so reading them now is safe.
    const int result = RunUpdate(*dialog, dialog->m_inputs, dialog->m_downloadManager);
    dialog->Finish(result);
    return 0;
}

void CUpdateDlg::SetStatus(const std::wstring& text)
{
    SetDlgItemText(IDC_UPDATE_STATUS, text);
}

BOOL CUpdateDlg::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) return TRUE;
    return CWorkerDialog::PreTranslateMessage(msg);
}

BOOL CUpdateDlg::OnInitDialog()
{
    CWorkerDialog::OnInitDialog();
    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);
    m_progress.Attach(GetDlgItem(IDC_UPDATE_PROGRESS));

    // No record leaves both texts empty; the worker then refuses to run.
    CRegKey key = OpenProductKey(CStringTable::Ansi(IDS_PRODUCT_KEY));
    if (key) {
        m_strSetupDir = ReadRegString(key.get(), CStringTable::Ansi(IDS_VALUE_SETUP_DIR));
        m_strVersion = ReadRegString(key.get(), CStringTable::Ansi(IDS_VALUE_VERSION));
    }
    m_inputs = {m_strSetupDir, m_strVersion};
    SetTimer(m_hWnd, kStartTimer, kStartDelayMs, nullptr);
    return TRUE;
}

void CUpdateDlg::OnTimer(UINT_PTR id)
{
    if (id != kStartTimer) {
        CWorkerDialog::OnTimer(id);
        return;
    }
    KillTimer(m_hWnd, kStartTimer);
    SignalStart();
}

void CUpdateDlg::OnClose()
{
    // The final message box runs its own loop; a second close arriving there is the same close.
    if (m_closing) return;
    m_closing = true;

    // Read once: a user's close while the worker runs sees 0 here and says nothing, even if
    // the worker finishes while we wait for it below.
    switch (m_nResult.load()) {
    case kUpdateDone:
        RecordVersion();
        ShowUpdateDone();
        StartProduct();
        break;
    case kFailed: MessageBox(CStringTable::Wide(IDS_INSTALL_ERROR), MB_OK); break;
    default:
        // Closed by the user while the worker runs: the window goes at once, even while a
        // stalled transfer holds the worker until its time-out; the file being fetched stays
        // as it was.
        ShowWindow(m_hWnd, SW_HIDE);
        break;
    }
    StopWorker();
    EndDialog(IDCANCEL);
}

void CUpdateDlg::RecordVersion() const
{
    if (!m_newVersionGiven) return;
    CRegKey key = OpenProductKey(CStringTable::Ansi(IDS_PRODUCT_KEY));
    // A record that cannot be opened or written is skipped without a word.
    if (key) WriteRegString(key.get(), CStringTable::Ansi(IDS_VALUE_VERSION), m_strVersion);
}

void CUpdateDlg::ShowUpdateDone() const
{
    CWinApp* app = AfxGetApp();
    std::string savedName;
    if (app) {
        savedName = app->m_pszAppName;
        app->m_pszAppName = kDoneCaption;
    }
    MessageBox(CStringTable::Wide(IDS_UPDATE_DONE), MB_OK);
    if (app) app->m_pszAppName = savedName;
}

void CUpdateDlg::StartProduct() const
{
    std::string commandLine;
    // A folder too long for the buffer is not started rather than cut or overrun.
    if (!MakeProductCommandLine(m_strSetupDir, CStringTable::Ansi(IDS_PRODUCT_EXE), commandLine)) return;
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    // The product starts in its installation folder; it is not waited for, and a failure to
    // start it is not reported.
    if (CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, m_strSetupDir.c_str(), &startup,
                       &process)) {
        CHandle thread(process.hThread);
        CHandle processHandle(process.hProcess);
    }
}
