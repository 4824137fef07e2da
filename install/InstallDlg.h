#pragma once
#include "framework/Dialog.h"

// Placeholder: the dialog on its template, with its icon; the work comes later.
class CInstallDlg : public CDialog {
public:
    CInstallDlg();

protected:
    BOOL OnInitDialog() override;

private:
    HICON m_hIcon;
};
