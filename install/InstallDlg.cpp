#include "install/InstallDlg.h"
#include "res/resource.h"

CInstallDlg::CInstallDlg()
    : CDialog(IDD_INSTALL), m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_NUVRA)))
{
}

BOOL CInstallDlg::OnInitDialog()
{
    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);
    return TRUE;
}
