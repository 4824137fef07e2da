#include "uninstall/UnInstallDlg.h"

#include "framework/RunLog.h"
#include "framework/StringTable.h"
#include "framework/Wait.h"
#include "res/resource.h"
#include "uninstall/ProductRemoval.h"

namespace {

// Lets the user see the final status before the window goes.
const DWORD kFinalPause = 500;

} // namespace

CUnInstallDlg::CUnInstallDlg()
    : CDialog(IDD_UNINSTALL), m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_NUVRA)))
{
}

BOOL CUnInstallDlg::OnInitDialog()
{
    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);
    m_progress.Attach(GetDlgItem(IDC_REMOVE_PROGRESS));
    return TRUE;
}

BOOL CUnInstallDlg::PreTranslateMessage(MSG* msg)
{
    // Neither key may press a button: only a click starts or ends anything.
    return msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE);
}

bool CUnInstallDlg::OnCommand(int id, int notifyCode)
{
    if (m_removing) return true;
    if (id == IDC_DELETE && notifyCode == BN_CLICKED) {
        OnDelete();
        return true;
    }
    return false;
}

void CUnInstallDlg::OnOK()
{
    if (!m_removing) CDialog::OnOK();
}

void CUnInstallDlg::OnCancel()
{
    if (!m_removing) CDialog::OnCancel();
}

void CUnInstallDlg::ShowStatus(UINT stringId)
{
    SetDlgItemText(IDC_REMOVE_STATUS, CStringTable::Wide(stringId));
}

void CUnInstallDlg::StopWithNothingRemoved()
{
    // An installation this user may not change (one an administrator made, say) stays whole,
    // with its record and shortcuts, rather than half removed; no elevation is asked for. The
    // window stays until the user has read why and closes it.
    CRunLog::Write("result: nothing removed");
    ShowStatus(IDS_REMOVE_INCOMPLETE);
    m_removing = false;
    EnableWindow(GetDlgItem(IDOK), TRUE);
}

void CUnInstallDlg::OnDelete()
{
    m_removing = true;
    EnableWindow(GetDlgItem(IDC_DELETE), FALSE);
    EnableWindow(GetDlgItem(IDOK), FALSE);
    const CProductRemoval::Outcome outcome = CProductRemoval::Run(*this);
    if (outcome == CProductRemoval::Outcome::NothingRemoved) {
        StopWithNothingRemoved();
        return;
    }
    ShowStatus(outcome == CProductRemoval::Outcome::Removed ? IDS_REMOVE_DONE : IDS_REMOVE_INCOMPLETE);
    PauseHandlingSentMessages(kFinalPause);
    CDialog::OnOK(); // as the Close button would, past the guard of OnOK
}
