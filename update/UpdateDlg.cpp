#include "update/UpdateDlg.h"

#include "framework/RunLog.h"
#include "framework/StringTable.h"
#include "framework/WinApp.h"
#include "install/InstallRecord.h"
#include "launch/ProductStart.h"
#include "res/resource.h"
#include "update/RepairProcedure.h"
#include "update/UpdateProcedure.h"

#include <cwchar>

namespace {

constexpr UINT_PTR kStartTimer = 0;
constexpr UINT kStartDelayMs = 500;
// The success message is captioned with the product's updater name, not the executable's.
const char kDoneCaption[] = "MorvelNuvraUpdater";

static_assert(kRepairDone == kUpdateDone, "the close handler ends both runs by one result");

std::wstring RepairDoneText(std::size_t repaired)
{
    wchar_t text[256];
    std::swprintf(text, 256, CStringTable::Wide(IDS_REPAIR_DONE).c_str(), static_cast<int>(repaired));
    return text;
}

} // namespace

CUpdateDlg::CUpdateDlg(HWND parent, EWork work)
    : CWorkerDialog(IDD_UPDATE, parent), m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_NUVRA))),
      m_work(work)
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
    if (!dialog->WaitForStart()) {
        CRunLog::Write("result: closed before the update started");
        return 0;
    }
    // The inputs were copied before the start timer was set, so reading them now is safe.
    const int result = dialog->m_work == EWork::Repair
        ? RunRepair(*dialog, dialog->m_inputs, dialog->m_downloadManager)
        : RunUpdate(*dialog, dialog->m_inputs, dialog->m_downloadManager);
    if (result != kUpdateDone && dialog->StopRequested()) {
        CRunLog::Write("result: given up: the window was closed while it worked; nothing installed has changed");
    } else if (dialog->m_work == EWork::Update) {
        // The new version was given by the worker itself, before its result.
        CRunLog::Write(result != kUpdateDone ? std::string("result: failed (message 106)")
                           : dialog->m_replaced == 0 && dialog->m_strVersion == dialog->m_inputs.installedVersion
                           ? "result: nothing to update"
                           : "result: updated to version " + dialog->m_strVersion);
    }
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
    const int result = m_nResult.load();
    switch (result) {
    case kUpdateDone:
        if (m_work == EWork::Repair) {
            ShowDone(RepairDoneText(m_replaced));
            break;
        }
        // The commit recorded the version before the window heard of it. Nothing replaced starts
        // nothing that was not running.
        ShowDone(CStringTable::Wide(IDS_UPDATE_DONE));
        if (m_replaced > 0) StartProduct();
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
    // Closed while it worked: the work was given up, unless it ended while the worker was awaited.
    m_closedWithoutResult = result == kNotFinished && m_nResult.load() != kUpdateDone;
    EndDialog(IDCANCEL);
}

void CUpdateDlg::ShowDone(const std::wstring& text) const
{
    CWinApp* app = AfxGetApp();
    std::string savedName;
    if (app) {
        savedName = app->m_pszAppName;
        app->m_pszAppName = kDoneCaption;
    }
    MessageBox(text, MB_OK);
    if (app) app->m_pszAppName = savedName;
}

void CUpdateDlg::StartProduct()
{
    // Updated, but the user would wait for a product that never comes: they are told.
    if (!CProductStart::Again(m_strSetupDir)) {
        m_productStartFailed = true;
        MessageBox(CStringTable::Wide(IDS_INSTALL_ERROR), MB_OK);
    }
}
