#include "uninstall/UnInstallDlg.h"
#include "res/resource.h"

CUnInstallDlg::CUnInstallDlg()
    : CDialog(IDD_UNINSTALL), m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_NUVRA)))
{
}

BOOL CUnInstallDlg::OnInitDialog()
{
    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);
    return TRUE;
}
