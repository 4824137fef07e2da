#include "update/UpdateDlg.h"
#include "res/resource.h"

CUpdateDlg::CUpdateDlg()
    : CDialog(IDD_UPDATE), m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_NUVRA)))
{
}

BOOL CUpdateDlg::OnInitDialog()
{
    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);
    return TRUE;
}
